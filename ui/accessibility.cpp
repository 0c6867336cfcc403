#include "accessibility.h"

#include "frmabout.h"
#include "frmcalls.h"
#include "frmclaim.h"
#include "frmsettime.h"
#include "frmzoom.h"
#include "halldisplay.h"

#include <QAccessibleWidget>

#include <functional>

namespace {

// A widget whose name or description the program works out each time a reader asks.
class WorkedOutText : public QAccessibleWidget
{
public:
    using Work = std::function<QString(const QAccessibleWidget &)>;
    WorkedOutText(QWidget *widget, QAccessible::Role role, QAccessible::Text which, Work work)
        : QAccessibleWidget(widget, role)
        , which(which)
        , work(std::move(work))
    {
    }

    QString text(QAccessible::Text t) const override
    {
        return t == which ? work(*this) : QAccessibleWidget::text(t);
    }

private:
    const QAccessible::Text which;
    const Work work;
};

// The contact line: a link, named by its address, whose press action plays the greeting
// as a click does.
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
};

// A number box: its label and its number, read as one line. A box with a label of its own
// on the window is named by its number alone, as the reader says the label first.
QString numberBoxName(const QAccessibleWidget &box)
{
    const auto *widget = static_cast<const NumberBox *>(box.object());
    const QString number = widget->text().trimmed();
    if (!box.relations(QAccessible::Label).isEmpty())
        return number;
    return (widget->accessibleName() + QLatin1Char(' ') + number).trimmed();
}

QAccessibleInterface *programWidgets(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<ClickLabel *>(object))
        return new ContactLineAccessible(label);
    // The zoom window's description is the number it shows, so a reader says the number
    // when the window opens.
    if (auto *zoom = qobject_cast<frmZoom *>(object))
        return new WorkedOutText(zoom, QAccessible::Dialog, QAccessible::Description,
                                 [zoom](const QAccessibleWidget &) { return zoom->number(); });
    if (auto *box = qobject_cast<NumberBox *>(object))
        return new WorkedOutText(box, QAccessible::StaticText, QAccessible::Name, numberBoxName);
    if (auto *news = qobject_cast<ReaderNews *>(object))
        return new QAccessibleWidget(news, QAccessible::StatusBar);
    if (object && object->objectName() == QLatin1String("readerNotice"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    // The hall's display is a window of its own, named by what it is for the host.
    if (auto *hall = qobject_cast<HallDisplay *>(object))
        return new QAccessibleWidget(hall, QAccessible::Window);
    if (qobject_cast<frmSetTime *>(object) || qobject_cast<frmAbout *>(object) || qobject_cast<frmCalls *>(object)
        || qobject_cast<frmClaim *>(object))
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
