#pragma once

#include <QString>
#include <array>
#include <memory>

class SettingsStore;

// The program's persistent options. The encoder fields hold positions in the lists of Options.
struct config
{
    QString path;
    QString user;
    QString bitrate;
    QString output;
    QString recent;
    bool samefolder = false;
    int width = -1;
    int height = -1;
    bool openfolder = false;
    std::array<int, 5> col{260, 160, 0, 80, 80};
    int codec = 0;
    int mp3srate = 1;
    int mp3mode = 1;
    int mp3bitrate = 5;
    int wavsrate = 1;
    int wavmode = 1;
    bool recurse = false;
    bool askoverwrite = true;
    int jobs = 1;           // files converted at once
    int existing = 0;       // what happens to an existing output when nobody is asked: ExistingPolicy
    int stalltimeout = 120; // seconds an encoder may show no progress before it is stopped; 0 = never
    int mp3vbr = -1;        // VBR quality V0..V9; -1: constant bitrate
    int aacsrate = 0;       // the encoders below: positions in their Options lists, 0 = "keep"
    int aacmode = 0;
    int aacbitrate = 3;
    int opussrate = 0;
    int opusmode = 0;
    int opusbitrate = 4;
    int flacsrate = 0;
    int flacmode = 0;
    int flaclevel = 5;
    int vorbissrate = 0;
    int vorbismode = 0;
    int vorbisquality = 6;
    bool smartcopy = true;                          // copy the audio when it already fits the chosen format
    int cover = 1;                                  // Options::Cover
    QString namepattern = QStringLiteral("{name}"); // the output file name: {name}, {title}, {artist}, ...
    bool keepfolders = false; // files of an added folder keep their path below it, under the output folder
    int track = 0;            // which audio stream: Options::trackChoices()
    QString tracklangs;       // "deu, eng": the preferred languages, earliest first
    bool chapters = false;    // one output per chapter
    QString lastfolder;       // where Add Folder last found a folder
};

enum class ExistingPolicy
{
    Overwrite = 0,
    Skip = 1,
    Rename = 2
};

// The store of this program's own settings.
std::unique_ptr<SettingsStore> openProgramStore();
// The file that store keeps them in.
QString programSettingsPath();

// Reads every value; a value that cannot be read takes its default and the rest are still read.
// The first such error's message is put into *error; a settings file that cannot be read at all gives
// every default and its own message.
config LoadConfig(SettingsStore &store, QString *error = nullptr);
config LoadConfig(QString *error = nullptr);

// Writes all values; nothing when the key has gone or could not be read. Raises EStoreError when a write
// fails.
void SaveConfig(SettingsStore &store, config c);
void SaveConfig(config c);

// The user's music folder, trimmed; empty when the system has none.
QString GetMusicFolder();
