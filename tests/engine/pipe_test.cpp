// The engine's hand-over between a fetch and the reader of the local
// address, on its own: how its two ends meet at the end of a body, and that
// it never holds much more than its capacity.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "streampipe.h"

namespace {

using kestrova::engine::StreamPipe;

// What the reader side of the local server does with a body of `size`
// bytes: reads it piece by piece and writes each out.
std::string ReadBody(StreamPipe &pipe, std::size_t size)
{
  std::string body, piece;
  bool end = false;
  while (body.size() < size && pipe.read(piece, size - body.size(), end) && !end) {
    body += piece;
    pipe.delivered(piece.size());
  }
  return body;
}

TEST(StreamPipe, TheEndsMeetInEitherOrder)
{
  // The reader of a whole body may be done before or after the fetch tells
  // its end; either way the body counts as delivered.  A reader that took
  // only a part, or broke off, has gone away: the fetch's next write fails.
  struct Case {
    const char *what;
    std::size_t readerTakes;
    bool readerFirst;
    bool success;
  } cases[] = {
      {"whole body, reader done first", 300000, true, true},
      {"whole body, fetch ends first", 300000, false, true},
      {"a part", 100000, true, true},
      {"broken off", 100000, true, false},
  };
  const std::string content(300000, 'k');
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    StreamPipe pipe;
    ASSERT_TRUE(pipe.begin(static_cast<std::int64_t>(content.size())));
    std::int64_t total = 0;
    ASSERT_EQ(pipe.waitStart(total), StreamPipe::Start::Ready);
    EXPECT_EQ(total, 300000);
    ASSERT_TRUE(pipe.write(content.data(), c.readerTakes));
    EXPECT_EQ(ReadBody(pipe, c.readerTakes), content.substr(0, c.readerTakes));
    if (c.readerTakes < content.size()) {
      pipe.readerDone(c.success);
      EXPECT_FALSE(pipe.write(content.data() + c.readerTakes, content.size() - c.readerTakes));
      EXPECT_FALSE(pipe.error().empty());
      continue;
    }
    if (c.readerFirst)
      pipe.readerDone(c.success);
    pipe.finish(true);
    if (!c.readerFirst)
      pipe.readerDone(c.success);
    EXPECT_TRUE(pipe.waitDelivered());
  }
}

TEST(StreamPipe, AWriterWaitsWhileThePipeIsFull)
{
  // Pieces as libcurl gives them; the pipe takes a little beyond its
  // capacity at most, then the writer waits for the reader.
  constexpr std::size_t kCapacity = 1u << 20;
  StreamPipe pipe(kCapacity);
  ASSERT_TRUE(pipe.begin(0));
  std::atomic<std::size_t> written{0};
  const std::string piece(16 * 1024, 'p');
  std::thread writer([&] {
    for (int i = 0; i < 256 && pipe.write(piece.data(), piece.size()); ++i)
      written += piece.size();
    pipe.finish(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(written.load(), kCapacity);
  EXPECT_GE(written.load(), kCapacity);
  // Reading on lets the writer through, and every byte comes out in order.
  std::string body, out;
  bool end = false;
  while (pipe.read(out, StreamPipe::kBlock, end) && !end) {
    EXPECT_LE(out.size(), StreamPipe::kBlock);
    body += out;
    pipe.delivered(out.size());
  }
  writer.join();
  EXPECT_TRUE(end);
  EXPECT_EQ(body.size(), 256 * piece.size());
  EXPECT_EQ(body.find_first_not_of('p'), std::string::npos);
  EXPECT_TRUE(pipe.waitDelivered());
}

TEST(StreamPipe, AbortWakesBothEnds)
{
  StreamPipe pipe(64 * 1024);
  ASSERT_TRUE(pipe.begin(0));
  const std::string big(128 * 1024, 'a');
  std::thread writer([&] { EXPECT_FALSE(pipe.write(big.data(), big.size())); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  pipe.abort();
  writer.join();
  std::string out;
  bool end = false;
  EXPECT_FALSE(pipe.read(out, 1024, end));
  EXPECT_FALSE(pipe.waitDelivered());
}

}  // namespace
