#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolBar;
class QWidget;
class TFileList;
class Tmainform;

// The main window's controls, laid out as drawn and kept in place by their anchors when it resizes.
// Object names let tests find them.
struct MainWindowUi
{
    static constexpr QSize designClient{597, 427};

    QWidget *client = nullptr;
    QToolBar *toolbar = nullptr;
    TFileList *files = nullptr;
    QProgressBar *progressBar = nullptr;
    QComboBox *formatBox = nullptr;
    QPushButton *encoderOptionsButton = nullptr;
    QLabel *moreFormatsLink = nullptr;
    QLineEdit *outputFolder = nullptr;
    QPushButton *browseButton = nullptr;
    QPushButton *openFolderButton = nullptr;

    void setupUi(Tmainform *window);
    // Moves every control to where its anchors put it in the client area's present size.
    void applyAnchors();

private:
    struct Placed
    {
        QWidget *widget;
        QRect design;
        int anchors;
    };
    void place(QWidget *w, const QRect &design, int anchors);
    std::vector<Placed> m_placed;
};
