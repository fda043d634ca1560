// The main window's helpers: update check, help, web links and the Tools menu.
#include "mainform.h"

#include "application.h"

#include "launch/help.h"
#include "launch/links.h"
#include "launch/tools.h"
#include "update/checkpad.h"

#include <QMenu>

void Tmainform::createUpdater()
{
    m_updater = new TmGetNewVer(this);
    m_updater->URLCurrVerFile = Links::updateFileUrl();
    m_updater->SiteName = Links::siteHost();
    m_updater->FailureDlg = true;
    m_updater->DownloadDlg = true;
}

void Tmainform::checkForUpdates()
{
    m_updater->Check();
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
        QAction *action = m_ui.toolsMenu->addAction(QIcon(QStringLiteral(":/icons/tool.svg")), tool.caption);
        connect(action, &QAction::triggered, this,
                [tool] { runGuarded([&tool] { runCompanionTool(tool); }); });
        m_ui.actions << action;
    }
}
