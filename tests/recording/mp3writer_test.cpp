#include "recording/cMp3Writer.h"

#include "platform/ui/error.h"
#include "tests/recording/wav_files.h"
#include "tests/support/temp_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace testing_support;

namespace {

class Mp3WriterTest : public TempFolderTest {
  protected:
    // The error the call raises, checked for its routine in the source.
    template <typename Call>
    long errorOf(Call call, const char* routine) {
        try {
            call();
            return 0;
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.source(),
                      platform::programName() + QLatin1Char('.') + QLatin1String(routine));
            lastDescription = e.description();
            return e.number();
        }
    }

    void fill(const char* text) { std::memcpy(writer.BufferPointer(), text, std::strlen(text)); }

    cMp3Writer writer;
    QString lastDescription;
};

TEST_F(Mp3WriterTest, WritesBlocksInOrderAndZeroBytesIsLegal) {
    const QString file = path(QStringLiteral("out.mp3"));
    EXPECT_EQ(writer.BufferSize(), 8192);
    EXPECT_EQ(writer.BufferPointer(), nullptr);
    writer.setFilename(file);
    EXPECT_EQ(writer.Filename(), file);
    ASSERT_NE(writer.BufferPointer(), nullptr);
    fill("first,");
    EXPECT_EQ(writer.WriteBufferToFile(6), 6);
    EXPECT_EQ(writer.WriteBufferToFile(0), 0);
    fill("second");
    EXPECT_EQ(writer.WriteBufferToFile(6), 6);
    writer.CloseFile();
    EXPECT_EQ(readFile(file), QByteArray("first,second"));
}

TEST_F(Mp3WriterTest, AnExistingFileIsReplacedByAnEmptyOne) {
    const QString file = path(QStringLiteral("old.mp3"));
    writeFile(file, QByteArray(5000, 'x'));
    writer.setFilename(file);
    writer.CloseFile();
    EXPECT_TRUE(readFile(file).isEmpty());
}

TEST_F(Mp3WriterTest, WritingMoreThanTheBufferWritesNothing) {
    const QString file = path(QStringLiteral("out.mp3"));
    writer.setBufferSize(16);
    writer.setFilename(file);
    EXPECT_EQ(errorOf([&] { writer.WriteBufferToFile(17); }, "WriteBufferToFile"), 29873);
    EXPECT_EQ(lastDescription,
              QStringLiteral("Cannot write more data than is available in the buffer"));
    EXPECT_EQ(errorOf([&] { writer.WriteBufferToFile(-1); }, "WriteBufferToFile"), 29873);
    EXPECT_EQ(writer.WriteBufferToFile(16), 16);
    writer.CloseFile();
    EXPECT_EQ(readFile(file).size(), 16);
}

TEST_F(Mp3WriterTest, WritingWithoutAnOpenFileFails) {
    writer.setBufferSize(64);
    EXPECT_EQ(errorOf([&] { writer.WriteBufferToFile(1); }, "WriteBufferToFile"), 29874);
    writer.setFilename(path(QStringLiteral("out.mp3")));
    writer.CloseFile();
    writer.CloseFile();
    EXPECT_EQ(errorOf([&] { writer.WriteBufferToFile(1); }, "WriteBufferToFile"), 29874);
    EXPECT_EQ(lastDescription, QStringLiteral("File not open for writing"));
}

TEST_F(Mp3WriterTest, AFileThatCannotBeCreatedLeavesNoneOpen) {
    writer.setFilename(path(QStringLiteral("out.mp3")));
    const QString bad = path(QStringLiteral("no/such/folder/out.mp3"));
    EXPECT_EQ(errorOf([&] { writer.setFilename(bad); }, "OpenFile"), 29872);
    EXPECT_EQ(lastDescription, QStringLiteral("Unable to open file for writing"));
    EXPECT_EQ(writer.Filename(), bad);
    EXPECT_EQ(errorOf([&] { writer.WriteBufferToFile(0); }, "WriteBufferToFile"), 29874);
    EXPECT_EQ(errorOf([&] { writer.setFilename(QString()); }, "OpenFile"), 29872);
}

TEST_F(Mp3WriterTest, ANewBufferSizeGivesAZeroedBufferAndKeepsTheFile) {
    const QString file = path(QStringLiteral("out.mp3"));
    writer.setFilename(file);
    std::fill_n(writer.BufferPointer(), 8192, std::uint8_t{0xAB});
    writer.WriteBufferToFile(2);
    writer.setBufferSize(100000);
    EXPECT_EQ(writer.BufferSize(), 100000);
    EXPECT_TRUE(std::all_of(writer.BufferPointer(), writer.BufferPointer() + 100000,
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(writer.WriteBufferToFile(3), 3);
    writer.CloseFile();
    EXPECT_EQ(readFile(file), QByteArray("\xAB\xAB\0\0\0", 5));
}

TEST_F(Mp3WriterTest, AnEmptyBufferCannotBeAllocated) {
    EXPECT_EQ(errorOf([&] { writer.setBufferSize(0); }, "AllocateBuffer"), 29871);
    EXPECT_EQ(lastDescription, QStringLiteral("Unable to allocate output buffer for writing"));
    EXPECT_EQ(writer.BufferPointer(), nullptr);
    EXPECT_EQ(writer.BufferSize(), 8192);
    writer.setFilename(path(QStringLiteral("out.mp3")));
    EXPECT_NE(writer.BufferPointer(), nullptr);
}

}  // namespace
