#include "mainwindowui.h"

#include "anchors.h"
#include "filelist.h"
#include "mainform.h"

#include "settings/options.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>

void MainWindowUi::place(QWidget *w, const QRect &design, int anchors)
{
    w->setGeometry(design);
    m_placed.push_back({w, design, anchors});
}

void MainWindowUi::applyAnchors()
{
    for (const Placed &p : m_placed)
        p.widget->setGeometry(anchoredGeometry(p.design, p.anchors, designClient, client->size()));
}

void MainWindowUi::setupUi(Tmainform *window)
{
    client = new QWidget(window);
    window->setCentralWidget(client);

    toolbar = new QToolBar(client);
    toolbar->setIconSize(QSize(32, 32));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setMovable(false);
    place(toolbar, QRect(0, 0, designClient.width(), 56), AnchorLeft | AnchorTop | AnchorRight);

    files = new TFileList(window, client);
    files->setObjectName(QStringLiteral("files"));
    files->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Format"), QStringLiteral("Path"),
                            QStringLiteral("Duration"), QStringLiteral("Status")});
    const int designWidths[] = {170, 115, 0, 55, 60};
    for (int i = 0; i < 5; ++i)
        files->setColumnWidth(i, designWidths[i]);
    place(files, QRect(8, 64, 581, 261), AnchorAll);

    progressBar = new QProgressBar(client);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    place(progressBar, QRect(8, 331, 581, 17), AnchorLeft | AnchorRight | AnchorBottom);

    auto *formatLabel = new QLabel(QStringLiteral("Output Format:"), client);
    place(formatLabel, QRect(8, 366, 100, 16), AnchorLeft | AnchorBottom);

    formatBox = new QComboBox(client);
    formatBox->setObjectName(QStringLiteral("formatBox"));
    formatBox->addItems(Options::formatNames());
    place(formatBox, QRect(112, 363, 194, 21), AnchorLeft | AnchorRight | AnchorBottom);

    encoderOptionsButton = new QPushButton(QStringLiteral("Encoder options"), client);
    encoderOptionsButton->setObjectName(QStringLiteral("encoderOptionsButton"));
    place(encoderOptionsButton, QRect(312, 361, 115, 25), AnchorRight | AnchorBottom);

    moreFormatsLink = new QLabel(
        QStringLiteral("<a href=\"#\" style=\"color:#0000ff;font-weight:bold;\">Need more formats?</a>"),
        client);
    moreFormatsLink->setObjectName(QStringLiteral("moreFormatsLink"));
    moreFormatsLink->setTextFormat(Qt::RichText);
    moreFormatsLink->setCursor(Qt::PointingHandCursor);
    place(moreFormatsLink, QRect(445, 364, 144, 16), AnchorRight | AnchorBottom);

    auto *folderLabel = new QLabel(QStringLiteral("Output Folder:"), client);
    place(folderLabel, QRect(8, 397, 100, 16), AnchorLeft | AnchorBottom);

    outputFolder = new QLineEdit(QStringLiteral("..."), client);
    outputFolder->setObjectName(QStringLiteral("outputFolder"));
    outputFolder->setReadOnly(true);
    place(outputFolder, QRect(112, 394, 315, 21), AnchorLeft | AnchorRight | AnchorBottom);

    browseButton = new QPushButton(QStringLiteral("Browse"), client);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    place(browseButton, QRect(433, 392, 75, 25), AnchorRight | AnchorBottom);

    openFolderButton = new QPushButton(QStringLiteral("Open Folder"), client);
    openFolderButton->setObjectName(QStringLiteral("openFolderButton"));
    place(openFolderButton, QRect(514, 392, 75, 25), AnchorRight | AnchorBottom);

    client->resize(designClient);
}
