#include "window_form.h"

#include "fonts.h"
#include "texts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

namespace {

constexpr int WindowWidth = 520;
constexpr int WindowHeight = 290;
const QSize WindowIconSize(16, 16);
const QSize ButtonIconSize(20, 20);
const QRect ProgressBarGeometry(10, 252, 501, 10);

const char InstallerImage[] = ":/Icons/1464966328_adept_installer.png";
const char CrossImage[] = ":/Icons/1452863351_cross-button.png";
const char DownloadImage[] = ":/Icons/1498635164_download.png";
const char FolderImage[] = ":/Icons/1464039768_Folder.png";

QIcon iconFrom(const char *path)
{
    QIcon icon;
    icon.addFile(QString::fromLatin1(path), QSize(), QIcon::Normal, QIcon::Off);
    return icon;
}

template<typename Widget> Widget *createChild(QWidget *parent, const char *objectName)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QString translated(const char *text)
{
    return QCoreApplication::translate(Texts::FormContext, text, nullptr, -1);
}

void setTexts(WindowForm &form, QMainWindow *window)
{
    window->setWindowTitle(translated(Texts::WindowTitle));
    form.groupBox->setTitle(QString());
    form.label->setText(translated(Texts::ProductCaption));
    form.label_2->setText(translated(Texts::VersionCaption));
    form.btnClose->setText(translated(Texts::CloseButton));
    form.lbl_Total->setText(translated(Texts::InitialTotal));
    form.lbl_Speed->setText(translated(Texts::InitialSpeed));
    form.label_7->setText(translated(Texts::TotalCaption));
    form.label_8->setText(translated(Texts::SpeedCaption));
    form.btnInstall->setText(translated(Texts::InstallButton));
    form.btnDownload->setText(translated(Texts::DownloadButton));
    form.label_3->setText(translated(Texts::ChangesCaptionTop));
    form.label_4->setText(translated(Texts::ChangesCaptionBottom));
    form.btnOpen->setText(translated(Texts::FolderButton));
}

} // namespace

void WindowForm::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QString::fromLatin1(Texts::FormContext));
    window->setWindowModality(Qt::WindowModal);
    window->resize(WindowWidth, WindowHeight);
    window->setMinimumSize(QSize(WindowWidth, WindowHeight));
    window->setMaximumSize(QSize(WindowWidth, WindowHeight));
    const QIcon installerIcon = iconFrom(InstallerImage);
    window->setWindowIcon(installerIcon);
    window->setIconSize(WindowIconSize);

    centralWidget = createChild<QWidget>(window, "centralWidget");

    progressBar = createChild<QProgressBar>(centralWidget, "progressBar");
    progressBar->setGeometry(ProgressBarGeometry);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);

    groupBox = createChild<QGroupBox>(centralWidget, "groupBox");
    groupBox->setGeometry(QRect(10, 10, 501, 241));

    label = createChild<QLabel>(groupBox, "label");
    label->setGeometry(QRect(14, 17, 61, 16));
    Fonts::substituteMissingCaptionFamily();
    QFont captionFont;
    captionFont.setFamily(QString::fromLatin1(Fonts::CaptionFamily));
    captionFont.setPointSize(Fonts::CaptionPointSize);
    label->setFont(captionFont);

    cbName = createChild<QComboBox>(groupBox, "cbName");
    cbName->setGeometry(QRect(78, 12, 411, 25));
    cbName->setFont(captionFont);
    cbName->setInsertPolicy(QComboBox::InsertAlphabetically);

    label_2 = createChild<QLabel>(groupBox, "label_2");
    label_2->setGeometry(QRect(14, 47, 61, 16));
    label_2->setFont(captionFont);

    cbVer = createChild<QComboBox>(groupBox, "cbVer");
    cbVer->setGeometry(QRect(78, 42, 411, 25));
    cbVer->setFont(captionFont);
    cbVer->setInsertPolicy(QComboBox::NoInsert);

    btnClose = createChild<QPushButton>(groupBox, "btnClose");
    btnClose->setGeometry(QRect(409, 199, 81, 31));
    btnClose->setIcon(iconFrom(CrossImage));
    btnClose->setIconSize(ButtonIconSize);

    lbl_Total = createChild<QLabel>(groupBox, "lbl_Total");
    lbl_Total->setGeometry(QRect(62, 215, 111, 16));
    lbl_Speed = createChild<QLabel>(groupBox, "lbl_Speed");
    lbl_Speed->setGeometry(QRect(62, 198, 111, 16));
    label_7 = createChild<QLabel>(groupBox, "label_7");
    label_7->setGeometry(QRect(15, 215, 41, 16));
    label_8 = createChild<QLabel>(groupBox, "label_8");
    label_8->setGeometry(QRect(15, 197, 41, 16));

    btnInstall = createChild<QPushButton>(groupBox, "btnInstall");
    btnInstall->setEnabled(false);
    btnInstall->setGeometry(QRect(160, 199, 81, 31));
    btnInstall->setIcon(installerIcon);
    btnInstall->setIconSize(ButtonIconSize);

    btnDownload = createChild<QPushButton>(groupBox, "btnDownload");
    btnDownload->setGeometry(QRect(326, 199, 81, 31));
    btnDownload->setIcon(iconFrom(DownloadImage));
    btnDownload->setIconSize(ButtonIconSize);

    label_3 = createChild<QLabel>(groupBox, "label_3");
    label_3->setGeometry(QRect(13, 74, 61, 16));
    label_3->setFont(captionFont);
    label_4 = createChild<QLabel>(groupBox, "label_4");
    label_4->setGeometry(QRect(13, 90, 61, 16));
    label_4->setFont(captionFont);

    plainTextEdit = createChild<QPlainTextEdit>(groupBox, "plainTextEdit");
    plainTextEdit->setGeometry(QRect(78, 73, 411, 117));
    plainTextEdit->setReadOnly(true);

    btnOpen = createChild<QPushButton>(groupBox, "btnOpen");
    btnOpen->setEnabled(true);
    btnOpen->setGeometry(QRect(243, 199, 81, 31));
    btnOpen->setIcon(iconFrom(FolderImage));
    btnOpen->setIconSize(ButtonIconSize);

    window->setCentralWidget(centralWidget);

    statusBar = createChild<QStatusBar>(window, "statusBar");
    window->setStatusBar(statusBar);
    // The status bar is as tall as the system's status-bar font asks, which can be more than the face leaves
    // under the progress bar (a large text setting; under Wine, a stand-in for a missing font): it gets that
    // room at most, so that it never stands over the bar.
    const int roomUnderBar = WindowHeight - ProgressBarGeometry.bottom() - 1;
    statusBar->setFixedHeight(qMin(statusBar->sizeHint().height(), roomUnderBar));

    setTexts(*this, window);

    QMetaObject::connectSlotsByName(window);
}
