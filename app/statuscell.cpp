#include "statuscell.h"

#include "batch/batchtexts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>

namespace {
QColor mixed(const QColor &a, const QColor &b, double share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
                            float(a.greenF() * (1 - share) + b.greenF() * share),
                            float(a.blueF() * (1 - share) + b.blueF() * share));
}

} // namespace

void GridDelegate::drawGrid(QPainter *painter, const QStyleOptionViewItem &option)
{
    painter->save();
    // 12% of the text over the base: the light grey of a white list, a dark grey of a dark one.
    painter->setPen(mixed(option.palette.color(QPalette::Base), option.palette.color(QPalette::Text), 0.12));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}

void GridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    drawGrid(painter, option);
}

QSize StatusDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    // Room for a bar with its text inside; the rows are as tall as the first one.
    const QSize size = GridDelegate::sizeHint(option, index);
    return {size.width(), qMax(size.height(), option.fontMetrics.height() + 6)};
}

void StatusDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    const QVariant percent = index.data(StatusCell::percentRole);
    if (!percent.isValid()) {
        GridDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // The row's background and selection, without its text.
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    QStyleOptionProgressBar bar;
    if (widget)
        bar.initFrom(widget);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.palette = option.palette;
    bar.rect = option.rect.adjusted(2, 1, -3, -2);
    bar.fontMetrics = option.fontMetrics;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = qBound(0, percent.toInt(), 100);
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    // The status with its percent where the cell has room for it, else the percent alone.
    const QString status = index.data(Qt::DisplayRole).toString();
    const QString number = QStringLiteral("%1%").arg(bar.progress);
    const QString whole = StatusCell::percentIn(status) >= 0 ? status : status + QLatin1Char(' ') + number;
    bar.text = option.fontMetrics.horizontalAdvance(whole) + 8 <= bar.rect.width() ? whole : number;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
    drawGrid(painter, option);
}

namespace StatusCell {

// The icons come from the style, drawn for light and dark themes alike.
QIcon iconFor(const QString &status, const QStyle *style)
{
    if (status == QLatin1String("Done!"))
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    if (status == QLatin1String("Failed"))
        return style->standardIcon(QStyle::SP_MessageBoxCritical);
    // The style's stop square is black, lost on a dark list: the program's own red sign reads on both.
    if (status == QLatin1String("Stopped"))
        return QIcon(QStringLiteral(":/icons/stop.svg"));
    if (status == QLatin1String("Skipped"))
        return style->standardIcon(QStyle::SP_ArrowForward);
    return {};
}

int percentIn(const QString &status)
{
    static const QRegularExpression number(QStringLiteral("(\\d{1,3})%$"));
    const QRegularExpressionMatch m = number.match(status);
    return m.hasMatch() ? qBound(0, m.captured(1).toInt(), 100) : -1;
}

QString toolTipFor(const QString &reason, const QFontMetrics &metrics)
{
    constexpr int maxWidth = 600;
    const QString text = BatchTexts::lastLines(reason, 8);
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    if (widest <= maxWidth)
        return text;
    // Rich text wraps; a table of that width holds the long lines to it.
    return QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>")
        .arg(maxWidth)
        .arg(text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>")));
}

} // namespace StatusCell
