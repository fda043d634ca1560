#include "config.h"

#include "platform/environment.h"
#include "store.h"

#include <QStandardPaths>

namespace {

const QString organisation = QStringLiteral("Morvexa");
const QString application = QStringLiteral("quorrel");

// Reads one value; a bad one leaves the default and is remembered, so the rest still load.
template <typename Reader, typename T>
void readInto(Reader reader, const SettingsStore &store, const QString &name, T &field, const T &fallback,
              QString *error)
{
    try {
        const auto value = reader(store, name);
        field = value ? static_cast<T>(*value) : fallback;
    } catch (const EStoreError &e) {
        field = fallback;
        if (error && error->isEmpty())
            *error = e.message();
    }
}

QString flagText(bool b)
{
    return b ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

std::unique_ptr<SettingsStore> openProgramStore()
{
    return std::make_unique<FileSettingsStore>(programSettingsPath());
}

QString programSettingsPath()
{
    return FileSettingsStore::filePathFor(organisation, application);
}

QString GetMusicFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation).trimmed();
}

config LoadConfig(SettingsStore &store, QString *error)
{
    config c;
    const QString music = GetMusicFolder();
    store.createKey();
    if (error && error->isEmpty())
        *error = store.readError();

    const config d;
    readInto(readString, store, QStringLiteral("path"), c.path, Environment::programFolder(), error);
    readInto(readString, store, QStringLiteral("user"), c.user, QStringLiteral("User"), error);
    readInto(readString, store, QStringLiteral("bitrate"), c.bitrate, QStringLiteral("1394"), error);
    readInto(readString, store, QStringLiteral("output"), c.output, music, error);
    readInto(readString, store, QStringLiteral("recent"), c.recent, c.path, error);
    readInto(readFlag, store, QStringLiteral("samefolder"), c.samefolder, d.samefolder, error);
    readInto(readInteger, store, QStringLiteral("width"), c.width, d.width, error);
    readInto(readInteger, store, QStringLiteral("height"), c.height, d.height, error);
    readInto(readFlag, store, QStringLiteral("openfolder"), c.openfolder, d.openfolder, error);
    for (int i = 0; i < 5; ++i)
        readInto(readInteger, store, QStringLiteral("col%1").arg(i), c.col[i], d.col[i], error);
    readInto(readInteger, store, QStringLiteral("codec"), c.codec, d.codec, error);
    readInto(readInteger, store, QStringLiteral("mp3srate"), c.mp3srate, d.mp3srate, error);
    readInto(readInteger, store, QStringLiteral("mp3mode"), c.mp3mode, d.mp3mode, error);
    readInto(readInteger, store, QStringLiteral("mp3bitrate"), c.mp3bitrate, d.mp3bitrate, error);
    readInto(readInteger, store, QStringLiteral("wavsrate"), c.wavsrate, d.wavsrate, error);
    readInto(readInteger, store, QStringLiteral("wavmode"), c.wavmode, d.wavmode, error);
    readInto(readFlag, store, QStringLiteral("recurse"), c.recurse, d.recurse, error);
    readInto(readFlag, store, QStringLiteral("askoverwrite"), c.askoverwrite, d.askoverwrite, error);
    readInto(readInteger, store, QStringLiteral("jobs"), c.jobs, d.jobs, error);
    readInto(readInteger, store, QStringLiteral("existing"), c.existing, d.existing, error);
    readInto(readInteger, store, QStringLiteral("stalltimeout"), c.stalltimeout, d.stalltimeout, error);
    readInto(readInteger, store, QStringLiteral("mp3vbr"), c.mp3vbr, d.mp3vbr, error);
    readInto(readInteger, store, QStringLiteral("aacsrate"), c.aacsrate, d.aacsrate, error);
    readInto(readInteger, store, QStringLiteral("aacmode"), c.aacmode, d.aacmode, error);
    readInto(readInteger, store, QStringLiteral("aacbitrate"), c.aacbitrate, d.aacbitrate, error);
    readInto(readInteger, store, QStringLiteral("opussrate"), c.opussrate, d.opussrate, error);
    readInto(readInteger, store, QStringLiteral("opusmode"), c.opusmode, d.opusmode, error);
    readInto(readInteger, store, QStringLiteral("opusbitrate"), c.opusbitrate, d.opusbitrate, error);
    readInto(readInteger, store, QStringLiteral("flacsrate"), c.flacsrate, d.flacsrate, error);
    readInto(readInteger, store, QStringLiteral("flacmode"), c.flacmode, d.flacmode, error);
    readInto(readInteger, store, QStringLiteral("flaclevel"), c.flaclevel, d.flaclevel, error);
    readInto(readInteger, store, QStringLiteral("vorbissrate"), c.vorbissrate, d.vorbissrate, error);
    readInto(readInteger, store, QStringLiteral("vorbismode"), c.vorbismode, d.vorbismode, error);
    readInto(readInteger, store, QStringLiteral("vorbisquality"), c.vorbisquality, d.vorbisquality, error);
    readInto(readFlag, store, QStringLiteral("smartcopy"), c.smartcopy, d.smartcopy, error);
    readInto(readInteger, store, QStringLiteral("cover"), c.cover, d.cover, error);
    readInto(readFlag, store, QStringLiteral("keepfolders"), c.keepfolders, d.keepfolders, error);
    readInto(readString, store, QStringLiteral("namepattern"), c.namepattern, d.namepattern, error);
    readInto(readInteger, store, QStringLiteral("track"), c.track, d.track, error);
    readInto(readString, store, QStringLiteral("tracklangs"), c.tracklangs, d.tracklangs, error);
    readInto(readFlag, store, QStringLiteral("chapters"), c.chapters, d.chapters, error);
    readInto(readString, store, QStringLiteral("lastfolder"), c.lastfolder, d.lastfolder, error);
    return c;
}

config LoadConfig(QString *error)
{
    return LoadConfig(*openProgramStore(), error);
}

void SaveConfig(SettingsStore &store, config c)
{
    if (!store.keyExists())
        return;
    const auto put = [&store](const QString &name, const QString &value) { store.write(name, value); };
    const auto putInt = [&put](const QString &name, int value) { put(name, QString::number(value)); };
    put(QStringLiteral("path"), c.path);
    put(QStringLiteral("user"), c.user);
    put(QStringLiteral("bitrate"), c.bitrate);
    put(QStringLiteral("output"), c.output);
    put(QStringLiteral("recent"), c.recent);
    put(QStringLiteral("samefolder"), flagText(c.samefolder));
    putInt(QStringLiteral("width"), c.width);
    putInt(QStringLiteral("height"), c.height);
    put(QStringLiteral("openfolder"), flagText(c.openfolder));
    for (int i = 0; i < 5; ++i)
        putInt(QStringLiteral("col%1").arg(i), c.col[i]);
    putInt(QStringLiteral("codec"), c.codec);
    putInt(QStringLiteral("mp3srate"), c.mp3srate);
    putInt(QStringLiteral("mp3mode"), c.mp3mode);
    putInt(QStringLiteral("mp3bitrate"), c.mp3bitrate);
    putInt(QStringLiteral("wavsrate"), c.wavsrate);
    putInt(QStringLiteral("wavmode"), c.wavmode);
    put(QStringLiteral("recurse"), flagText(c.recurse));
    put(QStringLiteral("askoverwrite"), flagText(c.askoverwrite));
    putInt(QStringLiteral("jobs"), c.jobs);
    putInt(QStringLiteral("existing"), c.existing);
    putInt(QStringLiteral("stalltimeout"), c.stalltimeout);
    putInt(QStringLiteral("mp3vbr"), c.mp3vbr);
    putInt(QStringLiteral("aacsrate"), c.aacsrate);
    putInt(QStringLiteral("aacmode"), c.aacmode);
    putInt(QStringLiteral("aacbitrate"), c.aacbitrate);
    putInt(QStringLiteral("opussrate"), c.opussrate);
    putInt(QStringLiteral("opusmode"), c.opusmode);
    putInt(QStringLiteral("opusbitrate"), c.opusbitrate);
    putInt(QStringLiteral("flacsrate"), c.flacsrate);
    putInt(QStringLiteral("flacmode"), c.flacmode);
    putInt(QStringLiteral("flaclevel"), c.flaclevel);
    putInt(QStringLiteral("vorbissrate"), c.vorbissrate);
    putInt(QStringLiteral("vorbismode"), c.vorbismode);
    putInt(QStringLiteral("vorbisquality"), c.vorbisquality);
    put(QStringLiteral("smartcopy"), flagText(c.smartcopy));
    putInt(QStringLiteral("cover"), c.cover);
    put(QStringLiteral("keepfolders"), flagText(c.keepfolders));
    put(QStringLiteral("namepattern"), c.namepattern);
    putInt(QStringLiteral("track"), c.track);
    put(QStringLiteral("tracklangs"), c.tracklangs);
    put(QStringLiteral("chapters"), flagText(c.chapters));
    put(QStringLiteral("lastfolder"), c.lastfolder);
    // The file is replaced as a whole, so a failure leaves the old one intact.
    if (!store.flush())
        throw EStoreError(QStringLiteral("Failed to set data for '%1'").arg(QStringLiteral("path")));
}

void SaveConfig(config c)
{
    SaveConfig(*openProgramStore(), std::move(c));
}
