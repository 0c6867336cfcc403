#include "accessibility.h"

#include "frmabout.h"

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

QAccessibleInterface *programWidgets(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("ClickLabel"))
        return new ContactLineAccessible(static_cast<ClickLabel *>(widget));
    if (className == QLatin1String("CallNotice"))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    if (className == QLatin1String("frmZoom") || className == QLatin1String("frmSetTime")
        || className == QLatin1String("frmAbout"))
        return new QAccessibleWidget(widget, QAccessible::Dialog);
    return nullptr;
}

} // namespace

CallNotice::CallNotice(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("callNotice"));
    setGeometry(0, 0, 0, 0);
    hide();
}

// Shown anew for every call: readers present a notification when it appears.
void CallNotice::tell(const QString &text)
{
    hide();
    setAccessibleName(text);
    show();
}

void installAccessibility()
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(programWidgets);
    }
}
