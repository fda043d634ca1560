#pragma once

// The pieces the settings window is built of: captions, links, the pages of the later formats and
// the form layout their rows share.
#include "settings/config.h"

#include <QFormLayout>
#include <QIcon>
#include <QLabel>
#include <QSize>
#include <QStringList>

namespace SettingsParts {

QIcon icon(const QString &name);
QLabel *label(const QString &text, QWidget *parent, int x, int y);
QLabel *link(const QString &text, QWidget *parent, int x, int y);

// A caption beside its check box that toggles the box when clicked, as the box's own text would.
class BoxCaption : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// The pages of the encoders that came later: one row of this table each.
struct FormatPage
{
    const char *caption;
    const char *icon;
    const QStringList &(*sampleRates)();
    const char *sampleRateName;
    const char *modeName;
    const char *qualityCaption;
    const QStringList &(*qualities)();
    const char *qualityName;
    int config::*sampleRate;
    int config::*mode;
    int config::*quality;
    int defaultQuality;
};
extern const FormatPage formatPages[4];

// Where the fixed pages put their combo boxes, so switching pages does not move them.
constexpr int fieldX = 160;
constexpr int margin = 16;
constexpr int labelGap = 8;
constexpr int comboWidth = 145;

// A page laid out as a form; with WrapLongRows a field too wide for its row goes below its caption.
QFormLayout *formPage(QWidget *page, QFormLayout::RowWrapPolicy wrap);
// What a page needs to show whole at that width: a laid-out page its layout's minimum, a page of
// fixed positions the extent of its controls.
QSize pageNeeds(const QWidget *page, int width);
void addRow(QFormLayout *form, const QString &caption, QWidget *field);

} // namespace SettingsParts
