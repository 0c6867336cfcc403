#include "accessibility.h"

#include "frmabout.h"
#include "frmsettime.h"
#include "frmzoom.h"

#include <QAccessibleWidget>

namespace {

// The contact line: a link whose press action plays the greeting, as a click does.
class ContactLineAccessible : public QAccessibleWidget
{
public:
    explicit ContactLineAccessible(ClickLabel *label)
        : QAccessibleWidget(label, QAccessible::Link)
    {
    }

    QStringList actionNames() const override { return QAccessibleWidget::actionNames() << pressAction(); }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            static_cast<ClickLabel *>(widget())->click();
        else
            QAccessibleWidget::doAction(action);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel *>(widget())->text();
        return QAccessibleWidget::text(t);
    }
};

// The zoom window: a dialog whose description is the number it shows, so a reader says
// the number when the window opens.
class ZoomAccessible : public QAccessibleWidget
{
public:
    explicit ZoomAccessible(frmZoom *zoom)
        : QAccessibleWidget(zoom, QAccessible::Dialog)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<frmZoom *>(widget())->number();
        return QAccessibleWidget::text(t);
    }
};

// A number box: its label and its number, read as one line. A box with a label of its
// own on the window is named by its number alone, as the reader says the label first.
class NumberBoxAccessible : public QAccessibleWidget
{
public:
    explicit NumberBoxAccessible(NumberBox *box)
        : QAccessibleWidget(box, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const QString number = static_cast<NumberBox *>(widget())->text().trimmed();
        if (!relations(QAccessible::Label).isEmpty())
            return number;
        return (widget()->accessibleName() + QLatin1Char(' ') + number).trimmed();
    }
};

QAccessibleInterface *programWidgets(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<ClickLabel *>(object))
        return new ContactLineAccessible(label);
    if (auto *zoom = qobject_cast<frmZoom *>(object))
        return new ZoomAccessible(zoom);
    if (auto *box = qobject_cast<NumberBox *>(object))
        return new NumberBoxAccessible(box);
    if (auto *news = qobject_cast<ReaderNews *>(object))
        return new QAccessibleWidget(news, QAccessible::StatusBar);
    if (object && object->objectName() == QLatin1String("readerNotice"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    if (qobject_cast<frmSetTime *>(object) || qobject_cast<frmAbout *>(object))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    return nullptr;
}

} // namespace

ReaderNews::ReaderNews(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("readerNews"));
    setAccessibleName(tr("Caller news"));
    setGeometry(0, 0, 0, 0);
}

// Readers present a notification when it appears. Each text has a notice of its own whose
// name never changes: a reader that looks at a notice a moment after it appeared, or keeps
// names it has seen, always finds that notice's own text.
void ReaderNews::tell(const QString &text)
{
    QWidget *&notice = notices[text];
    if (!notice) {
        notice = new QWidget(this);
        notice->setObjectName(QStringLiteral("readerNotice"));
        notice->setAccessibleName(text);
        notice->setGeometry(0, 0, 0, 0);
        notice->hide();
    }
    notice->hide();
    notice->show();
}
void installAccessibility()
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(programWidgets);
    }
}
