#include "app/ReadmeWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "res/ResourceIds.h"

namespace om {

ReadmeWindow::ReadmeWindow(QWidget* owner) : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("ReadmeWindow"));
    browser_->setObjectName(QStringLiteral("IDC_README_TEXT"));
    browser_->setProperty("controlId", IDC_README_TEXT);
    browser_->setReadOnly(true);
    browser_->setOpenLinks(false);
    // The readme is laid out for a fixed-width font.
    browser_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    browser_->setLineWrapMode(QTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    resize(680, 520);
}

bool ReadmeWindow::showFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    browser_->setPlainText(QString::fromUtf8(bytes));
    setWindowTitle(QStringLiteral("%1 - %2").arg(QFileInfo(path).fileName(),
                                                 QString::fromLatin1(kProgramName)));
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace om
