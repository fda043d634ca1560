#pragma once

#include <QString>
#include <QtGlobal>

// The media facts of one file, read through the MediaInfo library. One object per file: create,
// ask, destroy. A file the library cannot read answers empty texts and zeros.
class TMediaInfoDll
{
public:
    // How the library tells the file's format: from its name first, or from its bytes alone (for
    // names whose extension says nothing, where trying every format by name costs several times more).
    enum class Detect
    {
        ByName,
        ByContent
    };
    // withCover: the file's attached picture is read too, as "Cover_Data" in base64.
    explicit TMediaInfoDll(const QString &FileName, Detect detect = Detect::ByName, bool withCover = false);
    virtual ~TMediaInfoDll();
    TMediaInfoDll(const TMediaInfoDll &) = delete;
    TMediaInfoDll &operator=(const TMediaInfoDll &) = delete;

    qint32 GetDuration() const; // milliseconds
    QString GetVideoCodec() const;
    double GetVideoBitRate() const; // bits per second
    QString GetAudioCodec(unsigned stream) const;
    qint32 GetAudioBitRate(unsigned stream) const;      // bits per second
    qint32 GetAudioSamplingRate(unsigned stream) const; // Hz
    qint32 GetAudioChannels(unsigned stream) const;
    QString GetTitle() const;
    QString GetCopyright() const;
    QString GetGenre() const;

    // Any field by the library's name; empty when the file has no such stream or field.
    QString get(int streamKind, unsigned streamNumber, const char *parameter) const;

private:
    void readContent(const QString &fileName);

    void *m_handle = nullptr;
};
