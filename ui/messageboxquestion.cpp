#include "messageboxquestion.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace {
constexpr int TitleBarButtonsWidth = 140; // an icon, minimise, maximise and close

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
    // Over the window that has the keys: over the hall's display when it shares the host's
    // screen, so that the host's window, behind it, is not raised into the room's view.
    QWidget *over = QApplication::activeWindow();
    if (!over || over->window() != over || (parent && over != parent && over->parentWidget() != parent))
        over = parent;
    YesNoBox box(QMessageBox::Question, title, prompt, QMessageBox::Yes | QMessageBox::No, over);
    box.setObjectName(QStringLiteral("question"));
    box.setDefaultButton(QMessageBox::Yes);
    // Wide enough for the whole title in the window manager's bar, beside its buttons.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        QFont titleFont = box.font();
        titleFont.setBold(true);
        const int width = QFontMetrics(titleFont).horizontalAdvance(title) * 5 / 4 + TitleBarButtonsWidth;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box.exec() == QMessageBox::Yes;
}
