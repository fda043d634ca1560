#include "mediainfodll.h"

#include "mediainfolib.h"
#include "mediavalue.h"

#include <QFile>

#include <clocale>
#include <cstring>
#include <dlfcn.h>
#include <langinfo.h>
#include <mutex>

namespace MediaInfoLib {

const Api *api()
{
    static const Api *const loaded = []() -> const Api * {
        void *lib = dlopen("libmediainfo.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            return nullptr;
        static Api calls;
        const auto bind = [lib](auto &call, const char *name) {
            call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(dlsym(lib, name));
            return call != nullptr;
        };
        const bool complete =
            bind(calls.New, "MediaInfoA_New") && bind(calls.Delete, "MediaInfoA_Delete") &&
            bind(calls.Open, "MediaInfoA_Open") && bind(calls.Close, "MediaInfoA_Close") &&
            bind(calls.Option, "MediaInfoA_Option") &&
            bind(calls.Open_Buffer_Init, "MediaInfoA_Open_Buffer_Init") &&
            bind(calls.Open_Buffer_Continue, "MediaInfoA_Open_Buffer_Continue") &&
            bind(calls.Open_Buffer_Continue_GoTo_Get, "MediaInfoA_Open_Buffer_Continue_GoTo_Get") &&
            bind(calls.Open_Buffer_Finalize, "MediaInfoA_Open_Buffer_Finalize") &&
            bind(calls.Get, "MediaInfoA_Get");
        return complete ? &calls : nullptr;
    }();
    return loaded;
}

namespace {

// Current library versions answer "Codec/String" with an empty text unless the legacy field names
// are switched on; the option is library-wide, so it is set once before the first file is opened.
void enableLegacyFields()
{
    static const bool done = [] {
        api()->Option(nullptr, "Legacy", "1");
        return true;
    }();
    Q_UNUSED(done);
}

// An ID3v2 tag and a few silent MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz), as the encoder starts
// an MP3: reading them readies the parsers an output's check needs, which costs several times the check
// itself when done then.
QByteArray silentMp3()
{
    constexpr int frameSize = 144 * 128000 / 44100;
    QByteArray frame(frameSize, '\0');
    frame[0] = char(0xff);
    frame[1] = char(0xfb);
    frame[2] = char(0x90);
    frame[3] = char(0x64);
    const QByteArray tag("ID3\x04\0\0\0\0\0\x11TSSE\0\0\0\x07\0\0\x03Lavf59", 27);
    return tag + frame.repeated(8);
}

// What TMediaInfoDll does with a file read by content.
void readOnce(const Api &calls, QByteArray bytes)
{
    enableLegacyFields();
    void *handle = calls.New();
    if (!handle)
        return;
    calls.Open_Buffer_Init(handle, bytes.size(), 0);
    calls.Open_Buffer_Continue(handle, reinterpret_cast<unsigned char *>(bytes.data()), size_t(bytes.size()));
    calls.Open_Buffer_Finalize(handle);
    calls.Option(nullptr, "Complete", "");
    calls.Get(handle, Audio, 0, "Codec/String", Text, Name);
    calls.Get(handle, General, 0, "Duration", Text, Name);
    calls.Close(handle);
    calls.Delete(handle);
}

} // namespace

std::thread loadInBackground()
{
    return std::thread([] {
        if (const Api *calls = api())
            readOnce(*calls, silentMp3());
    });
}

} // namespace MediaInfoLib

namespace {

// The library turns 8-bit names into file names with the C library's character set, while Qt hands
// them over in UTF-8; in a plain "C" locale every name with a non-ASCII letter would not open.
void matchFileNameCharset()
{
    // Files are read on more than one thread, and setlocale is not safe to call from two at once.
    static std::mutex settingLocale;
    const std::lock_guard<std::mutex> lock(settingLocale);
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0 &&
        QFile::encodeName(QStringLiteral("\u00e9")) == "\xc3\xa9")
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

} // namespace

TMediaInfoDll::TMediaInfoDll(const QString &FileName, Detect detect, bool withCover)
{
    if (!MediaInfoLib::api())
        return;
    MediaInfoLib::enableLegacyFields();
    matchFileNameCharset();
    m_handle = MediaInfoLib::api()->New();
    if (!m_handle)
        return;
    if (withCover)
        MediaInfoLib::api()->Option(m_handle, "Cover_Data", "base64");
    // An unreadable file is not reported: every query then answers an empty text.
    if (detect == Detect::ByContent)
        readContent(FileName);
    else
        MediaInfoLib::api()->Open(m_handle, QFile::encodeName(FileName).constData());
    MediaInfoLib::api()->Option(nullptr, "Complete", "");
}

void TMediaInfoDll::readContent(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const auto size = static_cast<unsigned long long>(file.size());
    MediaInfoLib::api()->Open_Buffer_Init(m_handle, size, 0);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    constexpr size_t finalized = 0x08;
    constexpr unsigned long long noSeek = ~0ULL;
    // The head of the file, with the parts the library asks for, tells the streams and their length;
    // reading on through a long recording would only cost time.
    constexpr int maxReads = 8;
    for (int reads = 0; reads < maxReads; ++reads) {
        const qint64 n = file.read(buffer.data(), buffer.size());
        if (n <= 0)
            break;
        if (MediaInfoLib::api()->Open_Buffer_Continue(
                m_handle, reinterpret_cast<unsigned char *>(buffer.data()), size_t(n)) &
            finalized)
            break;
        // The library may ask for another part of the file, such as a tag at its end.
        const unsigned long long wanted = MediaInfoLib::api()->Open_Buffer_Continue_GoTo_Get(m_handle);
        if (wanted != noSeek) {
            if (!file.seek(qint64(wanted)))
                break;
            MediaInfoLib::api()->Open_Buffer_Init(m_handle, size, wanted);
        }
    }
    MediaInfoLib::api()->Open_Buffer_Finalize(m_handle);
}

TMediaInfoDll::~TMediaInfoDll()
{
    if (!m_handle)
        return;
    MediaInfoLib::api()->Close(m_handle);
    MediaInfoLib::api()->Delete(m_handle);
}

QString TMediaInfoDll::get(int streamKind, unsigned streamNumber, const char *parameter) const
{
    if (!m_handle)
        return QString();
    // The answer belongs to the library and lives only until the next call: copy it at once.
    const char *answer = MediaInfoLib::api()->Get(m_handle, streamKind, streamNumber, parameter,
                                                  MediaInfoLib::Text, MediaInfoLib::Name);
    return answer ? QString::fromLocal8Bit(answer) : QString();
}

qint32 TMediaInfoDll::GetDuration() const
{
    return qint32(MediaValueToInt(get(MediaInfoLib::General, 0, "Duration"), 0));
}

QString TMediaInfoDll::GetVideoCodec() const
{
    return get(MediaInfoLib::Video, 0, "Codec/String");
}

double TMediaInfoDll::GetVideoBitRate() const
{
    return MediaValueToFloat(get(MediaInfoLib::Video, 0, "BitRate"), 0);
}

QString TMediaInfoDll::GetAudioCodec(unsigned stream) const
{
    return get(MediaInfoLib::Audio, stream, "Codec/String");
}

qint32 TMediaInfoDll::GetAudioBitRate(unsigned stream) const
{
    return qint32(MediaValueToInt(get(MediaInfoLib::Audio, stream, "BitRate"), 0));
}

qint32 TMediaInfoDll::GetAudioSamplingRate(unsigned stream) const
{
    return qint32(MediaValueToInt(get(MediaInfoLib::Audio, stream, "SamplingRate"), 0));
}

qint32 TMediaInfoDll::GetAudioChannels(unsigned stream) const
{
    return qint32(MediaValueToInt(get(MediaInfoLib::Audio, stream, "Channels"), 0));
}

QString TMediaInfoDll::GetTitle() const
{
    const QString title = get(MediaInfoLib::General, 0, "Title");
    return title.isEmpty() ? get(MediaInfoLib::Video, 0, "Title") : title;
}

QString TMediaInfoDll::GetCopyright() const
{
    return get(MediaInfoLib::General, 0, "Copyright");
}

QString TMediaInfoDll::GetGenre() const
{
    return get(MediaInfoLib::General, 0, "Genre");
}
