#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "MessageThread.h"
#include "StderrMessageSink.h"

namespace kalvist {
namespace {

// Keeps every box open until the test closes it.
class TFakeSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    const std::lock_guard lock(mutex_);
    shown_.push_back(m);
    open_.push_back(std::move(closed));
  }

  void Close(size_t index) {
    std::function<void()> closed;
    {
      const std::lock_guard lock(mutex_);
      closed = std::exchange(open_.at(index), nullptr);
    }
    if (closed) closed();
  }

  void CloseAll() {
    for (size_t i = 0; i < Shown().size(); ++i) Close(i);
  }

  std::vector<TMessage> Shown() const {
    const std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<TMessage> shown_;
  std::vector<std::function<void()>> open_;
};

class MessageThread : public ::testing::Test {
 protected:
  void SetUp() override { SetMessageSink(&sink); }
  void TearDown() override {
    sink.CloseAll();
    SetMessageSink(nullptr);
  }

  TFakeSink sink;
};

TEST_F(MessageThread, BoxCarriesTextCaptionKindAndKey) {
  const struct {
    int kind;
    const char* caption;
  } cases[] = {{0, "Warning"},      {1, "Error"}, {2, "Information"},
               {3, "Confirmation"}, {4, ""},      {-1, ""}};
  for (const auto& c : cases) ShowMessageAsync("Text\r\nline 2", 0, c.kind);
  const auto shown = sink.Shown();
  ASSERT_EQ(shown.size(), std::size(cases));
  for (size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i].Caption, cases[i].caption);
    EXPECT_EQ(shown[i].Kind, cases[i].kind);
    EXPECT_EQ(shown[i].Text, "Text\r\nline 2");
    EXPECT_EQ(shown[i].Key, 0);
  }
  ShowMessageAsync("keyed", 42, mkError);
  EXPECT_EQ(sink.Shown().back().Key, 42);
}

TEST_F(MessageThread, OneBoxPerKeyUntilItCloses) {
  ShowMessageAsync("first", 0, mkError);
  ShowMessageAsync("second", 0, mkError);  // no key: both open
  ShowMessageAsync("keyed", 5, mkError);
  ShowMessageAsync("keyed again", 5, mkError);  // dropped while "keyed" is open
  ShowMessageAsync("other key", 6, mkError);
  ASSERT_EQ(sink.Shown().size(), 4u);
  EXPECT_EQ(sink.Shown()[2].Text, "keyed");
  EXPECT_EQ(sink.Shown()[3].Text, "other key");

  sink.Close(2);
  ShowMessageAsync("keyed after close", 5, mkError);
  ASSERT_EQ(sink.Shown().size(), 5u);
  EXPECT_EQ(sink.Shown()[4].Text, "keyed after close");
}

TEST_F(MessageThread, WithoutSinkMessagesGoNowhereAndHoldNoKey) {
  SetMessageSink(nullptr);
  ShowMessageAsync("lost", 9, mkError);
  SetMessageSink(&sink);
  ShowMessageAsync("shown", 9, mkError);
  ASSERT_EQ(sink.Shown().size(), 1u);
  EXPECT_EQ(sink.Shown()[0].Text, "shown");
}

TEST_F(MessageThread, ConcurrentReportsWithOneKeyOpenOneBox) {
  std::vector<std::jthread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) ShowMessageAsync("busy", 77, mkError);
    });
  }
  threads.clear();
  EXPECT_EQ(sink.Shown().size(), 1u);
}

// Closes each box on a thread of its own, as a GUI does when the user clicks OK.
class TClosingSink : public IMessageSink {
 public:
  void Show(const TMessage& m, std::function<void()> closed) override {
    const std::lock_guard lock(mutex_);
    ++shown_;
    maxOpen_ = std::max(maxOpen_, ++open_[m.Key]);
    closers_.emplace_back([this, key = m.Key, closed = std::move(closed)] {
      {
        const std::lock_guard closeLock(mutex_);
        --open_[key];
      }
      closed();
    });
  }

  void Join() {
    std::vector<std::jthread> closers;
    {
      const std::lock_guard lock(mutex_);
      closers.swap(closers_);
    }
  }

  int shown_ = 0;
  int maxOpen_ = 0;

 private:
  std::mutex mutex_;
  std::map<int, int> open_;
  std::vector<std::jthread> closers_;
};

TEST(MessageThreadClosedElsewhere, KeyedBoxesNeverOverlap) {
  TClosingSink sink;
  SetMessageSink(&sink);
  {
    std::vector<std::jthread> reporters;
    for (int t = 0; t < 4; ++t) {
      reporters.emplace_back([] {
        for (int i = 0; i < 300; ++i) ShowMessageAsync("flaky link", 3, mkWarning);
      });
    }
  }
  SetMessageSink(nullptr);
  sink.Join();
  EXPECT_GE(sink.shown_, 1);
  EXPECT_EQ(sink.maxOpen_, 1);
}

class TThrowingSink : public IMessageSink {
 public:
  void Show(const TMessage&, std::function<void()>) override {
    throw std::runtime_error("no display");
  }
};

TEST_F(MessageThread, SinkThatFailsToShowReleasesTheKey) {
  TThrowingSink throwing;
  SetMessageSink(&throwing);
  EXPECT_THROW(ShowMessageAsync("lost", 11, mkError), std::runtime_error);
  SetMessageSink(&sink);
  ShowMessageAsync("shown", 11, mkError);
  EXPECT_EQ(sink.Shown().size(), 1u);
}

TEST(StderrMessageSink, WritesOneLinePerMessageAndClosesAtOnce) {
  const struct {
    TMessage message;
    const char* line;
  } cases[] = {
      {{"Zarno-20 is disconnected.\r\nTimeout error reading.", "Error", mkError, 0},
       "Error: Zarno-20 is disconnected. Timeout error reading.\n"},
      {{"a\nb\rc\r\r\nd", "Warning", mkWarning, 4}, "Warning: a b c  d\n"},
      {{"no caption", "", 9, 0}, "no caption\n"},
      {{"", "Information", mkInformation, 0}, "Information: \n"},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    TStderrMessageSink sink(out);
    int closed = 0;
    sink.Show(c.message, [&] { ++closed; });
    EXPECT_EQ(out.str(), c.line);
    EXPECT_EQ(closed, 1);
  }
}

}  // namespace
}  // namespace kalvist
