#pragma once

class QComboBox;
class QGroupBox;
class QLabel;
class QMainWindow;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QWidget;

// The window's fixed face. The pointers do not own: every widget belongs to
// the window's object tree and dies with it.
struct WindowForm
{
    QWidget *centralWidget;
    QProgressBar *progressBar;
    QGroupBox *groupBox;
    QLabel *label;
    QComboBox *cbName;
    QLabel *label_2;
    QComboBox *cbVer;
    QPushButton *btnClose;
    QLabel *lbl_Total;
    QLabel *lbl_Speed;
    QLabel *label_7;
    QLabel *label_8;
    QPushButton *btnInstall;
    QPushButton *btnDownload;
    QLabel *label_3;
    QLabel *label_4;
    QPlainTextEdit *plainTextEdit;
    QPushButton *btnOpen;
    QStatusBar *statusBar;

    // Builds every widget on the window, then connects its on_<name>_<signal>
    // slots by name. The creation order fixes the keyboard focus chain.
    void setupUi(QMainWindow *window);
};
