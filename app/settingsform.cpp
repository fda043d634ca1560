#include "settingsform.h"

#include "application.h"
#include "mainform.h"

#include "launch/links.h"
#include "platform/launcher.h"
#include "settings/options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>

namespace {
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
    auto *l = new QLabel(
        QStringLiteral("<a href=\"#\" style=\"color:#0000ff\">%1</a>").arg(text.toHtmlEscaped()), parent);
    QFont f(QStringLiteral("MS Sans Serif"), 8);
    l->setFont(f);
    l->setCursor(Qt::PointingHandCursor);
    l->move(x, y);
    return l;
}
} // namespace

Tsettingsform::Tsettingsform(Tmainform *owner, config &settings)
    : QDialog(owner), m_main(owner), m_settings(settings)
{
    setObjectName(QStringLiteral("settingsForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    setFixedSize(482, 307);
    setModal(false);

    pageList = new QTreeWidget(this);
    pageList->setGeometry(8, 8, 129, 257);
    pageList->setHeaderHidden(true);
    pageList->setRootIsDecorated(false);
    pageList->setIconSize(QSize(16, 16));
    pageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const struct
    {
        const char *caption;
        const char *icon;
    } nodes[] = {{"General", "general"}, {"MP3", "mp3"}, {"WAV", "wav"}, {"About", "about"}};
    for (const auto &n : nodes) {
        auto *item = new QTreeWidgetItem(pageList, {QString::fromLatin1(n.caption)});
        item->setIcon(0, icon(QString::fromLatin1(n.icon)));
    }

    auto *panel = new QFrame(this);
    panel->setGeometry(145, 8, 329, 257);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    notebook = new QStackedWidget(panel);
    notebook->setGeometry(8, 8, 313, 241);
    notebook->addWidget(buildGeneralPage());
    notebook->addWidget(buildEncoderPage(true));
    notebook->addWidget(buildEncoderPage(false));
    notebook->addWidget(buildAboutPage());

    auto *ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setGeometry(399, 271, 75, 25);
    connect(ok, &QPushButton::clicked, this, [this] { runGuarded([this] { okClick(); }); });

    auto *bottom = label(QStringLiteral("Tolvane \u00a9 Morvexa"), this, 8, 280);
    bottom->setEnabled(false);

    connect(pageList, &QTreeWidget::currentItemChanged, this,
            [this] { runGuarded([this] { showSelectedPage(); }); });
    pageList->setCurrentItem(pageList->topLevelItem(0));

    nameControls();
    FormCreate();
}

void Tsettingsform::nameControls()
{
    const std::pair<QObject *, const char *> named[] = {
        {pageList, "pageList"},
        {notebook, "notebook"},
        {samefolder, "samefolder"},
        {openfolder, "openfolder"},
        {recurse, "recurse"},
        {recurseLabel, "recurseLabel"},
        {askoverwrite, "askoverwrite"},
        {jobs, "jobs"},
        {existing, "existing"},
        {mp3srate, "mp3srate"},
        {mp3mode, "mp3mode"},
        {mp3bitrate, "mp3bitrate"},
        {wavsrate, "wavsrate"},
        {wavmode, "wavmode"},
        {versionLabel, "versionLabel"},
        {siteLink, "siteLink"},
        {supportMailLink, "supportMailLink"},
    };
    for (const auto &[control, name] : named)
        control->setObjectName(QLatin1String(name));
}

QWidget *Tsettingsform::buildGeneralPage()
{
    auto *page = new QWidget;
    samefolder = new QCheckBox(QStringLiteral("Decode files to same folder as original file"), page);
    samefolder->move(16, 16);
    openfolder = new QCheckBox(QStringLiteral("Open the output folder when finished"), page);
    openfolder->move(16, 40);
    // The long caption wraps onto two lines beside its box.
    recurse = new QCheckBox(page);
    recurse->move(16, 64);
    recurseLabel = new QLabel(
        QStringLiteral("Recurse SubFolders. Converter will look into all subfolders for audio files."), page);
    recurseLabel->setWordWrap(true);
    recurseLabel->setGeometry(36, 62, 265, 30);
    recurseLabel->setBuddy(recurse);
    recurse->setAccessibleName(recurseLabel->text());
    askoverwrite = new QCheckBox(QStringLiteral("Prompt before overwriting existing files"), page);
    askoverwrite->move(16, 96);

    label(QStringLiteral("Simultaneous conversions:"), page, 16, 131);
    jobs = new QComboBox(page);
    for (int n = 1; n <= Options::maximumJobs(); ++n)
        jobs->addItem(QString::number(n));
    jobs->setGeometry(160, 128, 145, 21);
    label(QStringLiteral("When an output file exists:"), page, 16, 163);
    existing = new QComboBox(page);
    existing->addItems(Options::existingPolicies());
    existing->setGeometry(160, 160, 145, 21);
    connect(jobs, &QComboBox::activated, this, [this] { runGuarded([this] { jobsChange(); }); });
    connect(existing, &QComboBox::activated, this, [this] { runGuarded([this] { existingChange(); }); });

    connect(samefolder, &QCheckBox::toggled, this, [this] { runGuarded([this] { samefolderClick(); }); });
    connect(openfolder, &QCheckBox::toggled, this, [this] { runGuarded([this] { openfolderClick(); }); });
    connect(recurse, &QCheckBox::toggled, this, [this] { runGuarded([this] { recurseClick(); }); });
    connect(askoverwrite, &QCheckBox::toggled, this, [this] { runGuarded([this] { askoverwriteClick(); }); });
    return page;
}

QWidget *Tsettingsform::buildEncoderPage(bool mp3)
{
    auto *page = new QWidget;
    const auto combo = [this, page](const QStringList &entries, int y, void (Tsettingsform::*handler)()) {
        auto *box = new QComboBox(page);
        box->addItems(entries);
        box->setEditable(false);
        box->setGeometry(160, y, 145, 21);
        connect(box, &QComboBox::activated, this,
                [this, handler] { runGuarded([&] { (this->*handler)(); }); });
        return box;
    };
    label(QStringLiteral("Samplerate:"), page, 16, 19);
    if (mp3) {
        label(QStringLiteral("Mode: "), page, 16, 51);
        label(QStringLiteral("Bitrate:"), page, 16, 83);
        mp3srate = combo(Options::sampleRates(), 16, &Tsettingsform::mp3srateChange);
        mp3mode = combo(Options::channelModes(), 48, &Tsettingsform::mp3modeChange);
        mp3bitrate = combo(Options::mp3Bitrates(), 80, &Tsettingsform::mp3bitrateChange);
    } else {
        label(QStringLiteral("Mode:"), page, 16, 51);
        wavsrate = combo(Options::sampleRates(), 16, &Tsettingsform::wavsrateChange);
        wavmode = combo(Options::channelModes(), 48, &Tsettingsform::wavmodeChange);
    }
    return page;
}

QWidget *Tsettingsform::buildAboutPage()
{
    auto *page = new QWidget;
    auto *logo = new QLabel(page);
    logo->setPixmap(icon(QStringLiteral("tolvane")).pixmap(32, 32));
    logo->setGeometry(16, 16, 32, 32);
    auto *product = label(QStringLiteral("Tolvane"), page, 64, 16);
    QFont f(QStringLiteral("Arial"), 10);
    f.setBold(true);
    product->setFont(f);
    product->setStyleSheet(QStringLiteral("color: navy"));
    versionLabel = label(QStringLiteral("Version"), page, 64, 38);
    label(QStringLiteral("Copyright \u00a9 2026 Morvexa."), page, 64, 64);
    label(QStringLiteral("All rights reserved."), page, 64, 80);
    label(QStringLiteral("Web-site:"), page, 64, 112);
    siteLink = link(Links::siteHost(), page, 128, 112);
    label(QStringLiteral("E-mail:"), page, 64, 132);
    supportMailLink = link(Links::supportMailUrl().mid(7), page, 128, 132);
    connect(siteLink, &QLabel::linkActivated, this, [this] { runGuarded([this] { openSite(); }); });
    connect(supportMailLink, &QLabel::linkActivated, this,
            [this] { runGuarded([this] { writeToSupport(); }); });
    return page;
}

void Tsettingsform::FormCreate()
{
    openfolder->setChecked(m_settings.openfolder);
    samefolder->setChecked(m_settings.samefolder);
    if (samefolder->isChecked()) {
        m_main->setOutputFolderEnabled(false);
    }
    const auto select = [](QComboBox *box, int position) {
        box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
    };
    select(mp3srate, m_settings.mp3srate);
    select(mp3mode, m_settings.mp3mode);
    select(mp3bitrate, m_settings.mp3bitrate);
    select(wavsrate, m_settings.wavsrate);
    select(wavmode, m_settings.wavmode);
    recurse->setChecked(m_settings.recurse);
    askoverwrite->setChecked(m_settings.askoverwrite);
    jobs->setCurrentIndex(Options::jobsOrDefault(m_settings.jobs) - 1);
    select(existing, m_settings.existing);
    versionLabel->setText(QStringLiteral("Version ") + m_main->versionText());
}

void Tsettingsform::showSelectedPage()
{
    QTreeWidgetItem *item = pageList->currentItem();
    if (item && !item->parent())
        notebook->setCurrentIndex(pageList->indexOfTopLevelItem(item));
}

void Tsettingsform::samefolderClick()
{
    const bool c = samefolder->isChecked();
    m_main->setOutputFolderEnabled(!c);
    openfolder->setEnabled(!c);
    m_settings.samefolder = c;
    if (c) {
        openfolder->setChecked(false);
        m_settings.openfolder = false;
    }
}

void Tsettingsform::openfolderClick()
{
    m_settings.openfolder = openfolder->isChecked();
}

void Tsettingsform::recurseClick()
{
    m_settings.recurse = recurse->isChecked();
}

void Tsettingsform::askoverwriteClick()
{
    m_settings.askoverwrite = askoverwrite->isChecked();
}

void Tsettingsform::jobsChange()
{
    m_settings.jobs = jobs->currentIndex() + 1;
}

void Tsettingsform::existingChange()
{
    m_settings.existing = existing->currentIndex();
}

void Tsettingsform::mp3srateChange()
{
    m_settings.mp3srate = mp3srate->currentIndex();
}

void Tsettingsform::mp3modeChange()
{
    m_settings.mp3mode = mp3mode->currentIndex();
}

void Tsettingsform::mp3bitrateChange()
{
    m_settings.mp3bitrate = mp3bitrate->currentIndex();
}

void Tsettingsform::wavsrateChange()
{
    m_settings.wavsrate = wavsrate->currentIndex();
}

void Tsettingsform::wavmodeChange()
{
    m_settings.wavmode = wavmode->currentIndex();
}

void Tsettingsform::okClick()
{
    close();
}

void Tsettingsform::openSite()
{
    Launcher::open(Links::homePageUrl());
}

void Tsettingsform::writeToSupport()
{
    Launcher::open(Links::supportMailUrl());
}

void Tsettingsform::selectPage(int node)
{
    if (QTreeWidgetItem *item = pageList->topLevelItem(node))
        pageList->setCurrentItem(item);
}

void Tsettingsform::showCentred()
{
    if (!isVisible()) {
        const QRect main = m_main->frameGeometry();
        move(main.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}
