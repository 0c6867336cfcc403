#include "messageboxquestion.h"

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
    YesNoBox box(QMessageBox::Question, title, prompt, QMessageBox::Yes | QMessageBox::No, parent);
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
