#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The text of a settings file, line by line: group headers "[name]", entries "key=value", and every
// other line (comments, garbage) kept byte for byte where it was. Group and key names match in any
// letter case; entries before the first header belong to no group.
//
// An entry's key is the text before its first '=', its value the text after it to the end of the
// line, both without blanks (spaces, tabs) at either end. In a value, \n is a line feed, \r a carriage
// return, \\ and \" the character itself, \uD800 to \uDFFF a lone UTF-16 surrogate; any other backslash
// stands for itself. A value wholly inside double quotes is the text between them, blanks included.
// Writing escapes only what reading would otherwise change, and quotes only values with blanks at an
// end or quotes at both. Files are UTF-8; a UTF-8 byte order mark and CR LF line ends are understood.
class IniDocument
{
public:
    static IniDocument parse(const QByteArray &text); // never throws, any bytes
    QByteArray serialize() const;
    bool hasGroup(const QString &group) const; // case-insensitive
    // Adds "[group]" at the end unless a group of that name exists.
    void addGroup(const QString &group);
    // The last entry of that key in the group, wherever the group's headers are.
    std::optional<QString> value(const QString &group, const QString &key) const; // case-insensitive
    // Replaces the last entry of the key (under any spelling) and drops the others; a line whose value
    // stays the same keeps its bytes. A new entry goes after the group's last entry, and the group is
    // added when missing. Names a line cannot hold (a line break, '=', broken UTF-16) are not written.
    void setValue(const QString &group, const QString &key, const QString &value);
    void remove(const QString &group, const QString &key);

private:
    enum class Kind
    {
        Other,
        Group,
        Entry
    };
    struct Line
    {
        QByteArray raw; // without its line feed
        Kind kind = Kind::Other;
        QString name;      // group or key, trimmed
        QString valueText; // an entry's text after '=', as stored
    };

    static Line classify(QByteArray raw, bool firstLine);
    QByteArray lineEnd() const;
    // Positions of the key's entries in the group, in file order.
    QList<qsizetype> entries(const QString &group, const QString &key) const;
    qsizetype lastLineOfGroup(const QString &group) const;

    // The pieces between line feeds; the last one is whatever follows the final line feed.
    QList<Line> m_lines;
};
