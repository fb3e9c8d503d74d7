#pragma once

#include <QString>

namespace converter {

// The program's exit codes: 0 on success, one code for each way a conversion can fail. On every
// failure the input is left as it was and no MP3 is left behind.
enum ExitCode : int {
    kConverted = 0,
    kUsage = 1,          // no file named
    kNoInput = 2,        // no such file, or it cannot be read
    kNotAWave = 3,       // the file is not a WAVE file
    kEncodeFailed = 4,   // the encoder library reported an error while encoding
    kCannotDecode = 5,   // a WAVE file whose sound cannot be decoded
    kCannotWrite = 6,    // the MP3 file cannot be created or written (full disk, no rights)
    kNoEncoder = 7,      // the encoder library is missing or opens no stream
    kInputIsOutput = 8,  // the MP3 would be written over the input itself: refused
};

// The file path from the command line: the arguments joined by blanks (a path with blanks may
// arrive split), trimmed, without one pair of surrounding double quotes.
QString pathFromArguments(const QStringList& arguments);

// Where the MP3 of a recording goes: the path with the extension of its file name replaced by
// ".mp3"; a name without extension (the advanced recorder's intermediate file) gets ".mp3"
// appended, so the MP3 lands at the path the recorder shows.
QString mp3PathFor(const QString& wavPath);

// The rate to encode at: the recording's own when MP3 has it, else the nearest MP3 rate above it
// (48000 for anything faster).
int mp3SampleRate(int rate);

// True when writing `output` would replace or truncate `input`: the same path, or another name
// (hard or symbolic link) of the same file.
bool isSameFile(const QString& input, const QString& output);

// Converts the WAVE file at input to the MP3 at mp3PathFor(input) with the encoder library of
// appFolder, streaming: a 16-bit stereo PCM file at an MP3 rate is encoded as it stands, any
// other is decoded and resampled block by block on its way to the encoder. Returns an ExitCode;
// on failure *error says why and no MP3 is left behind.
int convertToMp3(const QString& appFolder, const QString& input, QString* error);

}  // namespace converter
