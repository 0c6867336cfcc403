#include "messageboxquestion.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {
class YesNoBox : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};
}

bool MessageBoxQuestion::askYesNo(const QString &prompt, const QString &title)
{
    YesNoBox box(QMessageBox::Question, title, prompt, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("question"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}
