#pragma once

#include <QString>

namespace converter {

// The program's exit codes: 0 on success, one code for each way a conversion can fail.
enum ExitCode : int {
    kConverted = 0,
    kUsage = 1,
    kNoInput = 2,
    kNotAWave = 3,
    kEncodeFailed = 4,
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

// Decodes any WAVE file FFmpeg reads (PCM of every width, float, A-law, mu-law, ADPCM, GSM,
// MP3-in-WAVE) into a canonical 16-bit stereo PCM WAVE at mp3SampleRate of its rate. On failure
// returns false with the reason in *error and leaves no output file.
bool decodeToPcmWave(const QString& input, const QString& output, int* rate, QString* error);

// Keeps the decoder libraries' own log off stderr; the program reports its errors itself.
void silenceDecoderLog();

// Converts the WAVE file at input to the MP3 at mp3PathFor(input) with the encoder library of
// appFolder. Returns an ExitCode; on failure *error says why and no MP3 is left behind.
int convertToMp3(const QString& appFolder, const QString& input, QString* error);

}  // namespace converter
