#include "settingsform.h"

#include "application.h"
#include "mainform.h"
#include "settingsparts.h"

#include "batch/batchtexts.h"
#include "batch/encoding.h"
#include "launch/links.h"
#include "mediainfo/sourceaudio.h"
#include "platform/launcher.h"
#include "settings/options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>

using namespace SettingsParts;

Tsettingsform::Tsettingsform(Tmainform *owner, config &settings)
    : QDialog(owner), m_main(owner), m_settings(settings)
{
    setObjectName(QStringLiteral("settingsForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    setFixedSize(482, 307);
    setModal(false);

    buildPageList();
    auto *panel = new QFrame(this);
    panel->setGeometry(145, 8, 329, 257);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    notebook = new QStackedWidget(panel);
    notebook->setGeometry(8, 8, 313, 241);
    notebook->addWidget(buildGeneralPage());
    notebook->addWidget(buildEncoderPage(true));
    notebook->addWidget(buildEncoderPage(false));
    for (const FormatPage &f : formatPages) {
        auto *page = new QWidget;
        QFormLayout *form = formPage(page, QFormLayout::WrapLongRows);
        addRow(form, QStringLiteral("Samplerate:"),
               addChoice(f.sampleRateName, f.sampleRates(), f.sampleRate, Options::keep));
        addRow(form, QStringLiteral("Mode:"),
               addChoice(f.modeName, Options::keepChannelModes(), f.mode, Options::keep));
        addRow(form, QString::fromLatin1(f.qualityCaption),
               addChoice(f.qualityName, f.qualities(), f.quality, f.defaultQuality));
        notebook->addWidget(page);
    }
    notebook->addWidget(buildOutputPage());
    notebook->addWidget(buildAboutPage());

    okButton = new QPushButton(QStringLiteral("Ok"), this);
    okButton->setGeometry(399, 271, 75, 25);
    connect(okButton, &QPushButton::clicked, this, [this] { runGuarded([this] { okClick(); }); });

    bottomLabel = label(QStringLiteral("Tolvane \u00a9 Morvexa"), this, 8, 280);
    bottomLabel->setEnabled(false);

    connect(pageList, &QTreeWidget::currentItemChanged, this,
            [this] { runGuarded([this] { showSelectedPage(); }); });
    pageList->setCurrentItem(pageList->topLevelItem(0));

    nameControls();
    FormCreate();
    fitPages();
}

void Tsettingsform::buildPageList()
{
    pageList = new QTreeWidget(this);
    pageList->setGeometry(8, 8, 129, 257);
    pageList->setHeaderHidden(true);
    pageList->setRootIsDecorated(false);
    pageList->setIconSize(QSize(16, 16));
    pageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    std::vector<std::pair<const char *, const char *>> nodes{
        {"General", "general"}, {"MP3", "mp3"}, {"WAV", "wav"}};
    for (const FormatPage &f : formatPages)
        nodes.emplace_back(f.caption, f.icon);
    nodes.emplace_back("Output", "output");
    nodes.emplace_back("About", "about");
    for (const auto &[caption, iconName] : nodes)
        (new QTreeWidgetItem(pageList, {QString::fromLatin1(caption)}))
            ->setIcon(0, icon(QString::fromLatin1(iconName)));
}

QComboBox *Tsettingsform::addChoice(const char *name, const QStringList &entries, int config::*field,
                                    int defaultPosition)
{
    auto *box = new QComboBox;
    box->setObjectName(QLatin1String(name));
    box->addItems(entries);
    connect(box, &QComboBox::activated, this,
            [this, box, field] { runGuarded([&] { m_settings.*field = box->currentIndex(); }); });
    m_choices.push_back({box, field, defaultPosition});
    return box;
}

// Every page must show whole: the window grows by what the widest and tallest of them lack, the
// controls of the fixed pages staying where they are.
void Tsettingsform::fitPages()
{
    int width = notebook->width();
    int height = notebook->height();
    for (int i = 0; i < notebook->count(); ++i)
        width = qMax(width, pageNeeds(notebook->widget(i), 0).width());
    for (int i = 0; i < notebook->count(); ++i)
        height = qMax(height, pageNeeds(notebook->widget(i), width).height());
    const QSize grow(width - notebook->width(), height - notebook->height());
    if (grow.isNull())
        return;
    notebook->resize(notebook->size() + grow);
    notebook->parentWidget()->resize(notebook->parentWidget()->size() + grow);
    pageList->resize(pageList->width(), pageList->height() + grow.height());
    okButton->move(okButton->pos() + QPoint(grow.width(), grow.height()));
    bottomLabel->move(bottomLabel->pos() + QPoint(0, grow.height()));
    setFixedSize(size() + grow);
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
        {mp3vbr, "mp3vbr"},
        {smartcopy, "smartcopy"},
        {keepfolders, "keepfolders"},
        {namepattern, "namepattern"},
        {namePreview, "namePreview"},
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
    recurseLabel = new BoxCaption(
        QStringLiteral("Recurse SubFolders. Converter will look into all subfolders for audio files."), page);
    recurseLabel->setWordWrap(true);
    // As tall as its two lines need in the face it is shown in.
    recurseLabel->setGeometry(36, 62, 265, qMax(30, recurseLabel->heightForWidth(265)));
    recurseLabel->setBuddy(recurse);
    recurse->setAccessibleName(recurseLabel->text());
    askoverwrite = new QCheckBox(QStringLiteral("Prompt before overwriting existing files"), page);
    askoverwrite->move(16, 96);

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
        label(QStringLiteral("VBR quality:"), page, 16, 115);
        mp3srate = combo(Options::sampleRates(), 16, &Tsettingsform::mp3srateChange);
        mp3mode = combo(Options::channelModes(), 48, &Tsettingsform::mp3modeChange);
        mp3bitrate = combo(Options::mp3Bitrates(), 80, &Tsettingsform::mp3bitrateChange);
        mp3vbr = combo(Options::mp3VbrQualities(), 112, &Tsettingsform::mp3vbrChange);
        mp3vbr->resize(qMax(mp3vbr->width(), mp3vbr->sizeHint().width()), mp3vbr->height());
    } else {
        label(QStringLiteral("Mode:"), page, 16, 51);
        wavsrate = combo(Options::sampleRates(), 16, &Tsettingsform::wavsrateChange);
        wavmode = combo(Options::channelModes(), 48, &Tsettingsform::wavmodeChange);
    }
    return page;
}

QWidget *Tsettingsform::buildOutputPage()
{
    auto *page = new QWidget;
    // Its captions and the cover art's entries are long: each field goes below its caption.
    QFormLayout *form = formPage(page, QFormLayout::WrapAllRows);
    jobs = new QComboBox;
    for (int n = 1; n <= Options::maximumJobs(); ++n)
        jobs->addItem(QString::number(n));
    addRow(form, QStringLiteral("Simultaneous conversions:"), jobs);
    existing = new QComboBox;
    existing->addItems(Options::existingPolicies());
    addRow(form, QStringLiteral("When an output file exists:"), existing);
    smartcopy = new QCheckBox(QStringLiteral("Copy the audio when it already fits"));
    form->addRow(smartcopy);
    keepfolders = new QCheckBox(QStringLiteral("Keep the folders of an added folder"));
    form->addRow(keepfolders);
    namepattern = new QLineEdit;
    namepattern->setToolTip(QStringLiteral(
        "{name} {title} {artist} {album} {date} {track} {lang}, and {chapter} {chaptertitle} when split "
        "at chapters: empty where the file has none"));
    addRow(form, QStringLiteral("Output file name:"), namepattern);
    namePreview = new QLabel;
    namePreview->setTextFormat(Qt::PlainText);
    namePreview->setWordWrap(true);
    form->addRow(namePreview);
    connect(namepattern, &QLineEdit::textEdited, this, [this](const QString &text) {
        runGuarded([&] {
            m_settings.namepattern = text;
            showNamePreview();
        });
    });
    QComboBox *track = addChoice("track", Options::trackChoices(), &config::track, 0);
    addRow(form, QStringLiteral("Audio track:"), track);
    tracklangs = new QLineEdit;
    tracklangs->setPlaceholderText(QStringLiteral("deu, eng"));
    tracklangs->setToolTip(QStringLiteral("Language codes, earliest preferred: de, deu and ger alike"));
    addRow(form, QStringLiteral("Preferred languages:"), tracklangs);
    chapters = new QCheckBox(QStringLiteral("Split at chapters"));
    chapters->setToolTip(
        QStringLiteral("A video with chapters gives a file per chapter, in a folder named after it"));
    form->addRow(chapters);
    addRow(form, QStringLiteral("Cover art:"),
           addChoice("cover", Options::coverChoices(), &config::cover, int(Options::Cover::Attached)));
    connectOutputPage(track);
    return page;
}

void Tsettingsform::connectOutputPage(QComboBox *track)
{
    connect(track, &QComboBox::activated, this, [this](int choice) {
        runGuarded([&] {
            tracklangs->setEnabled(choice == int(Pieces::TrackMode::Preferred));
            showNamePreview();
        });
    });
    connect(tracklangs, &QLineEdit::textEdited, this, [this](const QString &text) {
        runGuarded([&] {
            m_settings.tracklangs = text;
            showNamePreview();
        });
    });
    connect(chapters, &QCheckBox::toggled, this, [this](bool on) {
        runGuarded([&] {
            m_settings.chapters = on;
            showNamePreview();
        });
    });
    connect(jobs, &QComboBox::activated, this, [this] { runGuarded([this] { jobsChange(); }); });
    connect(existing, &QComboBox::activated, this, [this] { runGuarded([this] { existingChange(); }); });
    connect(smartcopy, &QCheckBox::toggled, this, [this] { runGuarded([this] { smartcopyClick(); }); });
    connect(keepfolders, &QCheckBox::toggled, this,
            [this] { runGuarded([this] { m_settings.keepfolders = keepfolders->isChecked(); }); });
}

QWidget *Tsettingsform::buildAboutPage()
{
    auto *page = new QWidget;
    auto *logo = new QLabel(page);
    logo->setPixmap(icon(QStringLiteral("tolvane")).pixmap(32, 32));
    logo->setGeometry(16, 16, 32, 32);
    auto *product = label(QStringLiteral("Tolvane"), page, 64, 16);
    // Bold in the window's own size; its colour is the palette's text.
    QFont f = product->font();
    f.setBold(true);
    product->setFont(f);
    product->setForegroundRole(QPalette::WindowText);
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
    // Position 0 is "Off"; V0..V9 follow.
    mp3vbr->setCurrentIndex(Options::positionOrDefault(Options::mp3VbrQualities(), m_settings.mp3vbr + 1, 0));
    mp3bitrate->setEnabled(mp3vbr->currentIndex() == 0);
    // A stored position outside the list shows the default; the stored value stays until changed.
    for (const Choice &c : m_choices) {
        const int stored = m_settings.*c.field;
        c.box->setCurrentIndex(stored >= 0 && stored < c.box->count() ? stored : c.defaultPosition);
    }
    smartcopy->setChecked(m_settings.smartcopy);
    keepfolders->setChecked(m_settings.keepfolders);
    namepattern->setText(m_settings.namepattern);
    tracklangs->setText(m_settings.tracklangs);
    tracklangs->setEnabled(m_settings.track == int(Pieces::TrackMode::Preferred));
    chapters->setChecked(m_settings.chapters);
    showNamePreview();
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

void Tsettingsform::mp3vbrChange()
{
    m_settings.mp3vbr = mp3vbr->currentIndex() - 1;
    // A VBR encoding has no fixed bitrate.
    mp3bitrate->setEnabled(mp3vbr->currentIndex() == 0);
}

void Tsettingsform::smartcopyClick()
{
    m_settings.smartcopy = smartcopy->isChecked();
}

void Tsettingsform::wavsrateChange()
{
    m_settings.wavsrate = wavsrate->currentIndex();
}

void Tsettingsform::wavmodeChange()
{
    m_settings.wavmode = wavmode->currentIndex();
}

void Tsettingsform::showNamePreview()
{
    const QString source = m_main->selectedSource();
    SourceAudio facts;
    if (!source.isEmpty() && QFileInfo(source).isFile())
        facts = probeSourceAudio(source, false);
    else
        facts.title = QStringLiteral("Holiday"); // an example, until a row is selected
    const QString file = source.isEmpty() ? QStringLiteral("holiday.mp4") : source;
    config c = m_settings;
    c.samefolder = true;
    c.keepfolders = false;
    // The first of several outputs: a chapter stands for any, a stream's for each.
    Pieces::Piece piece;
    const Pieces::TrackChoice tracks =
        Pieces::chooseTracks(facts, Pieces::TrackMode(c.track), Pieces::languageList(c.tracklangs));
    if (tracks.streams.size() > 1)
        piece = Pieces::piecesFor(facts, tracks, false).front();
    else if (!tracks.streams.empty())
        facts = facts.withStream(tracks.streams.front());
    if (c.chapters) {
        piece.chapter = 1;
        piece.chapters = 1;
        piece.chapterTitle = QStringLiteral("Introduction");
    }
    const QFileInfo output(
        BatchTexts::outputFor(file, c, Encoding::planFor(c, facts).extension, QString(), &facts, &piece)
            .outfile);
    const QString unknown = NamePattern::unknownFields(m_settings.namepattern).join(QLatin1Char(' '));
    namePreview->setText(
        QStringLiteral("e.g. ") + (c.chapters ? output.dir().dirName() + QLatin1Char('/') : QString()) +
        output.fileName() + (unknown.isEmpty() ? QString() : QStringLiteral("  (unknown: %1)").arg(unknown)));
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
    showNamePreview(); // the selected row may be another one now
    if (!isVisible()) {
        const QRect main = m_main->frameGeometry();
        move(main.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}
