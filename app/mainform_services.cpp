// The main window's helpers: update check, converter, help, web links and the Tools menu.
#include "mainform.h"

#include "application.h"

#include "convert/pipeconvert.h"
#include "launch/help.h"
#include "launch/links.h"
#include "launch/tools.h"
#include "update/checkpad.h"

#include <QMenu>

void Tmainform::createUpdater()
{
    updater = new TmGetNewVer(this);
    updater->URLCurrVerFile = Links::updateFileUrl();
    updater->SiteName = Links::siteHost();
    updater->FailureDlg = true;
    updater->DownloadDlg = true;
}

void Tmainform::destroyUpdater()
{
    delete updater;
    updater = nullptr;
}

void Tmainform::createConverter()
{
    converter = std::make_unique<TPipeConvert>();
}

void Tmainform::destroyConverter()
{
    converter.reset();
}

void Tmainform::checkForUpdates()
{
    updater->Check();
}

void Tmainform::showHelpContents()
{
    OpenHelpFile(helpFilePath());
}

void Tmainform::openMoreFormats()
{
    openHomePage();
}

void Tmainform::buildToolsMenu()
{
    for (const CompanionTool &tool : companionTools()) {
        QAction *action = toolsMenu->addAction(QIcon(QStringLiteral(":/icons/tool.svg")), tool.caption);
        connect(action, &QAction::triggered, this,
                [tool] { runGuarded([&tool] { runCompanionTool(tool); }); });
        m_actions << action;
    }
}
