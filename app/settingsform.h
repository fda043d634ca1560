#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

class QCheckBox;
class QLineEdit;
class QComboBox;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;
class Tmainform;
struct config;

// Edits the program's settings; every control writes its field at once.
class Tsettingsform : public QDialog
{
public:
    Tsettingsform(Tmainform *owner, config &settings);

    void FormCreate();
    void showSelectedPage();
    void samefolderClick();
    void openfolderClick();
    void recurseClick();
    void askoverwriteClick();
    void jobsChange();
    void existingChange();
    void mp3srateChange();
    void mp3modeChange();
    void mp3bitrateChange();
    void mp3vbrChange();
    void wavsrateChange();
    void wavmodeChange();
    void smartcopyClick();
    void okClick();
    // The name the pattern gives the selected row's file, or an example's.
    void showNamePreview();
    void openSite();
    void writeToSupport();

    // Selects the page-list node at that position (which switches the page).
    void selectPage(int node);
    // Shows the window modeless, centred on the main window, in front.
    void showCentred();

private:
    void nameControls();
    QWidget *buildGeneralPage();
    QWidget *buildEncoderPage(bool mp3);
    void buildPageList();
    QWidget *buildOutputPage();
    void connectOutputPage(QComboBox *track);
    QWidget *buildAboutPage();
    // A combo box that writes its position into the field at once; FormCreate shows the stored one.
    QComboBox *addChoice(const char *name, const QStringList &entries, int config::*field,
                         int defaultPosition);
    void fitPages();

    // Named after the fields they edit, so tests find them by those names.
    QTreeWidget *pageList = nullptr;
    QStackedWidget *notebook = nullptr;
    QCheckBox *samefolder = nullptr;
    QCheckBox *openfolder = nullptr;
    QCheckBox *recurse = nullptr;
    QLabel *recurseLabel = nullptr;
    QCheckBox *askoverwrite = nullptr;
    QComboBox *jobs = nullptr;
    QComboBox *existing = nullptr;
    QComboBox *mp3srate = nullptr;
    QComboBox *mp3mode = nullptr;
    QComboBox *mp3bitrate = nullptr;
    QComboBox *wavsrate = nullptr;
    QComboBox *wavmode = nullptr;
    QComboBox *mp3vbr = nullptr;
    QCheckBox *smartcopy = nullptr;
    QCheckBox *keepfolders = nullptr;
    QLineEdit *namepattern = nullptr;
    QLabel *namePreview = nullptr;
    QLineEdit *tracklangs = nullptr;
    QCheckBox *chapters = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *siteLink = nullptr;
    QLabel *supportMailLink = nullptr;
    // Below the pages: they move when the pages need more room.
    QPushButton *okButton = nullptr;
    QLabel *bottomLabel = nullptr;

    // The combo boxes made by addChoice: the later encoders' pages and the cover art.
    struct Choice
    {
        QComboBox *box;
        int config::*field;
        int defaultPosition;
    };
    std::vector<Choice> m_choices;

    Tmainform *m_main;
    config &m_settings;
};
