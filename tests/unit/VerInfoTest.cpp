#include <gtest/gtest.h>

#include "vltVerInfo.h"

namespace kalvist {
namespace {

TVersionResource Complete() {
  return {std::array<uint16_t, 4>{1, 6, 1, 2},
          0x04E40409,
          {{"ProductName", "Kalvist"},
           {"ProductVersion", "1.6.1"},
           {"LegalCopyright", "(C) us"},
           {"ReleaseDate", "2024-05-01"},
           {"Unlisted", "x"}}};
}

TEST(VerInfoRes, ReadsVersionsTranslationAndStrings) {
  const TVersionResource resource = Complete();
  const TVerInfoRes info(&resource);
  EXPECT_EQ(info.FileVersion().AsString(), "1.6.1.2");
  EXPECT_EQ(info.ProductVersion().AsString(), "1.6.1");
  EXPECT_EQ(info.Language(), 0x0409);
  EXPECT_EQ(info.CodePage(), 0x04E4);
  EXPECT_EQ(info.ProductName(), "Kalvist");
  EXPECT_EQ(info.LegalCopyright(), "(C) us");
  EXPECT_EQ(info.ReleaseDate(), "2024-05-01");
  EXPECT_EQ(info.StringValue("Comments"), "");  // known key, not in the table
  EXPECT_EQ(info.StringValue("Unlisted"), "");  // not a key of a version resource
}

TEST(VerInfoRes, MissingPartsRaiseTheirErrors) {
  try {
    TVerInfoRes info(nullptr);
    FAIL() << "no error";
  } catch (const ENoVerInfoError& e) {
    EXPECT_STREQ(e.what(), "No Version Info Avaiable.");
  }

  TVersionResource noLanguage = Complete();
  noLanguage.Translation.reset();
  try {
    TVerInfoRes info(&noLanguage);
    FAIL() << "no error";
  } catch (const EVerInfoError& e) {
    EXPECT_STREQ(e.what(), "No language info");
  }

  TVersionResource noFixed = Complete();
  noFixed.FileVersion.reset();
  try {
    TVerInfoRes info(&noFixed);
    FAIL() << "no error";
  } catch (const ENoFixeVerInfo& e) {
    EXPECT_STREQ(e.what(), "No fixed file info");
  }

  TVersionResource badProduct = Complete();
  badProduct.Strings["ProductVersion"] = "1..2";
  try {
    TVerInfoRes info(&badProduct);
    FAIL() << "no error";
  } catch (const TVersionException& e) {
    EXPECT_EQ(e.ErrorCode, TVersionException::ecInvalidVersion);
    EXPECT_STREQ(e.what(), "Version error: \"1..2\" is not valid version.");
  }
}

}  // namespace
}  // namespace kalvist
