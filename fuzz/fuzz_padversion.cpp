#include "fuzzsupport.h"
#include "update/pad.h"
#include "update/version.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

std::optional<bool> newer(const QString &published, const QString &installed)
{
    try {
        return IsNewerVersion(published, installed);
    } catch (const EVersionError &) {
        return std::nullopt;
    }
}

void compareVersions(const QString &a, const QString &b)
{
    try {
        versionParts(a);
    } catch (const EVersionError &) {
    }
    require(newer(a, a) != true, "a version is never newer than itself");
    const std::optional<bool> ab = newer(a, b);
    const std::optional<bool> ba = newer(b, a);
    require(ab.has_value() == ba.has_value(), "two versions compare either way or not at all");
    require(!(ab == true && ba == true), "of two versions at most one is newer");
}

} // namespace

// The published version file as downloaded, and the versions it may carry. The input's first two
// lines are compared as versions too, so the comparison is fuzzed without the XML around it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<QByteArray> lines = input.split('\n');
    const QString first = QString::fromUtf8(lines.value(0));
    const QString second = QString::fromUtf8(lines.value(1));
    compareVersions(first, second);
    try {
        const PadInfo pad = readPad(input);
        compareVersions(pad.version, first);
    } catch (const EPadError &) {
    }
    return 0;
}
