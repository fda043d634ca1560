#include "settingsparts.h"

#include "settings/options.h"

#include <QAbstractButton>
#include <QLayout>
#include <QMouseEvent>

namespace SettingsParts {
QIcon icon(const QString &name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

QLabel *label(const QString &text, QWidget *parent, int x, int y)
{
    auto *l = new QLabel(text, parent);
    l->move(x, y);
    return l;
}

QLabel *link(const QString &text, QWidget *parent, int x, int y)
{
    // The palette's link colour and the window's face: readable in any theme, one size with the rest.
    auto *l = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()), parent);
    l->setCursor(Qt::PointingHandCursor);
    l->move(x, y);
    return l;
}

void BoxCaption::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        if (auto *box = qobject_cast<QAbstractButton *>(buddy()); box && box->isEnabled())
            box->click();
    }
}

const FormatPage formatPages[4] = {
    {"AAC", "aac", Options::keepSampleRates, "aacsrate", "aacmode", "Bitrate:", Options::aacBitrates,
     "aacbitrate", &config::aacsrate, &config::aacmode, &config::aacbitrate, Options::defaultAacBitrate},
    {"Opus", "opus", Options::opusSampleRates, "opussrate", "opusmode", "Bitrate:", Options::opusBitrates,
     "opusbitrate", &config::opussrate, &config::opusmode, &config::opusbitrate, Options::defaultOpusBitrate},
    {"FLAC", "flac", Options::keepSampleRates, "flacsrate", "flacmode",
     "Compression level:", Options::flacLevels, "flaclevel", &config::flacsrate, &config::flacmode,
     &config::flaclevel, Options::defaultFlacLevel},
    {"Vorbis", "vorbis", Options::keepSampleRates, "vorbissrate", "vorbismode",
     "Quality:", Options::vorbisQualities, "vorbisquality", &config::vorbissrate, &config::vorbismode,
     &config::vorbisquality, Options::defaultVorbisQuality},
};

// A page laid out as a form; with WrapLongRows a field too wide for its row goes below its caption.
QFormLayout *formPage(QWidget *page, QFormLayout::RowWrapPolicy wrap)
{
    auto *form = new QFormLayout(page);
    form->setContentsMargins(margin, margin, 8, 8);
    form->setHorizontalSpacing(labelGap);
    form->setVerticalSpacing(10);
    form->setRowWrapPolicy(wrap);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return form;
}

// What a page needs to show whole at that width: a laid-out page its layout's minimum, a page of
// fixed positions the extent of its controls.
QSize pageNeeds(const QWidget *page, int width)
{
    if (const QLayout *l = page->layout()) {
        const QSize minimum = l->minimumSize();
        return {minimum.width(), l->hasHeightForWidth() ? l->totalHeightForWidth(width) : minimum.height()};
    }
    QRect extent;
    for (const QWidget *w : page->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        // Not yet shown, a control that was only moved takes its size hint when it is.
        extent |= QRect(w->pos(), w->testAttribute(Qt::WA_Resized) ? w->size() : w->sizeHint());
    }
    return {extent.right() + 1 + 8, extent.bottom() + 1 + 8};
}

void addRow(QFormLayout *form, const QString &caption, QWidget *field)
{
    auto *l = new QLabel(caption);
    l->setMinimumWidth(fieldX - margin - labelGap);
    l->setBuddy(field);
    // Never below what shows the longest entry whole.
    field->setMinimumWidth(qMax(comboWidth, field->minimumSizeHint().width()));
    form->addRow(l, field);
}

} // namespace SettingsParts
