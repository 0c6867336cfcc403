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

QAccessibleInterface *programWidgets(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<ClickLabel *>(object))
        return new ContactLineAccessible(label);
    if (auto *zoom = qobject_cast<frmZoom *>(object))
        return new ZoomAccessible(zoom);
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
    , notice(new QWidget(this))
{
    setObjectName(QStringLiteral("readerNews"));
    setAccessibleName(tr("Caller news"));
    setGeometry(0, 0, 0, 0);
    notice->setObjectName(QStringLiteral("readerNotice"));
    notice->setGeometry(0, 0, 0, 0);
    notice->hide();
}

// Shown anew for every piece of news: readers present a notification when it appears.
void ReaderNews::tell(const QString &text)
{
    notice->hide();
    notice->setAccessibleName(text);
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
