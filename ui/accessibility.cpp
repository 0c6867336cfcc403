#include "accessibility.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>

#include <algorithm>

namespace {

// What widgets said of themselves through readAs() and the like, until they are gone.
struct Reading
{
    QAccessible::Role role = QAccessible::NoRole;
    std::function<QString()> description;
    std::function<void()> press;
};

QHash<const QObject *, Reading> &readings()
{
    static QHash<const QObject *, Reading> all;
    return all;
}

Reading &readingOf(QWidget &widget)
{
    auto at = readings().find(&widget);
    if (at == readings().end()) {
        at = readings().insert(&widget, Reading());
        QObject::connect(&widget, &QObject::destroyed, [&widget] { readings().remove(&widget); });
    }
    return *at;
}

// A widget of ours as it said it is read. The description and the press action are looked
// up each time a reader asks, so the order the widget said them in does not matter.
class OwnWidget : public QAccessibleWidget
{
public:
    OwnWidget(QWidget *widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        const auto at = readings().constFind(object());
        if (t == QAccessible::Description && at != readings().cend() && at->description)
            return at->description();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressable())
            names << pressAction();
        return names;
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction() && pressable())
            readings().value(object()).press();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    bool pressable() const
    {
        const auto at = readings().constFind(object());
        return at != readings().cend() && at->press;
    }
};

// A number box: its label and its number, read as one line. A box with a label of its own
// on the window is named by its number alone, as the reader says the label first.
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
        const auto *box = static_cast<const NumberBox *>(object());
        const QString number = box->text().trimmed();
        if (!relations(QAccessible::Label).isEmpty())
            return number;
        return (box->accessibleName() + QLatin1Char(' ') + number).trimmed();
    }
};

QAccessibleInterface *programWidgets(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    const auto at = readings().constFind(object);
    if (at != readings().cend() && at->role != QAccessible::NoRole)
        return new OwnWidget(widget, at->role);
    if (auto *box = qobject_cast<NumberBox *>(object))
        return new NumberBoxAccessible(box);
    if (auto *news = qobject_cast<ReaderNews *>(object))
        return new QAccessibleWidget(news, QAccessible::StatusBar);
    if (object->objectName() == QLatin1String("readerNotice"))
        return new QAccessibleWidget(widget, QAccessible::Notification);
    return nullptr;
}

} // namespace

void readAs(QWidget &widget, QAccessible::Role role)
{
    readingOf(widget).role = role;
}

void describeForReaders(QWidget &widget, std::function<QString()> description)
{
    readingOf(widget).description = std::move(description);
}

void pressForReaders(QWidget &widget, std::function<void()> press)
{
    readingOf(widget).press = std::move(press);
}

ReaderNews::ReaderNews(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("readerNews"));
    setAccessibleName(tr("Caller news"));
    setGeometry(0, 0, 0, 0);
    since.start();
    quiet.setSingleShot(true);
    quiet.setInterval(QuietMs);
    connect(&quiet, &QTimer::timeout, this, &ReaderNews::retell);
}

void sayCurrentLineOnceActive(QListWidget &list)
{
    QTimer::singleShot(0, &list, [&list] {
        if (!list.isActiveWindow() || !list.hasFocus() || list.currentRow() < 0)
            return;
        QAccessibleEvent focus(&list, QAccessible::Focus);
        focus.setChild(list.currentRow());
        QAccessible::updateAccessibility(&focus);
    });
}

ReaderNews *ReaderNews::forWindow(QWidget &window)
{
    QWidget *owner = &window;
    while (owner->parentWidget())
        owner = owner->parentWidget()->window();
    const auto lines = owner->findChildren<ReaderNews *>();
    for (ReaderNews *line : lines) {
        if (line->window() == owner)
            return line;
    }
    return new ReaderNews(&window);
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

void ReaderNews::tellMustHear(Subject subject, const QString &text, const QString &again)
{
    settle(subject);
    waiting.push_back({subject, text, again.isEmpty() ? text : again, since.elapsed(), 0, false});
    tell(text);
    watchKeys();
}

void ReaderNews::settle(Subject subject)
{
    waiting.erase(std::remove_if(waiting.begin(), waiting.end(), [subject](const Waiting &w) { return w.subject == subject; }),
                  waiting.end());
    watchKeys();
}

void ReaderNews::settleAll()
{
    waiting.clear();
    watchKeys();
}

// About three words a second at a reader's default rate, behind a call or two already
// queued: two seconds more than the words take.
bool ReaderNews::mayCutShort(const QString &text, qint64 keyMs)
{
    const qint64 words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    return keyMs >= 0 && keyMs <= 2000 + words * 400;
}

// Keys are watched only while news waits to be heard, wherever in the program they go.
void ReaderNews::watchKeys()
{
    const bool wanted = !waiting.empty();
    if (wanted == watching)
        return;
    watching = wanted;
    if (watching) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
        quiet.stop();
    }
}

bool ReaderNews::eventFilter(QObject *watched, QEvent *event)
{
    // A key reaches the program as an offer to its shortcuts first, then as the key itself.
    // A window of the program losing the keys empties a reader's queue too (a question
    // answered, a window closed), whatever comes to the front.
    const bool cuts = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride
        || (event->type() == QEvent::WindowDeactivate && watched->isWidgetType() && static_cast<QWidget *>(watched)->isWindow());
    if (cuts) {
        const qint64 now = since.elapsed();
        for (Waiting &news : waiting)
            news.cut = news.cut || mayCutShort(news.text, now - news.toldAt);
        // What a reader has surely said by now needs no more watching.
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [now](const Waiting &w) { return !w.cut && !mayCutShort(w.text, now - w.toldAt); }),
                      waiting.end());
        if (!waiting.empty())
            quiet.start();
        watchKeys();
    }
    return QWidget::eventFilter(watched, event);
}

// Said again in the order first told, each at most MaxRetold times; what a key did not cut
// short stays waiting, in case the next key does.
void ReaderNews::retell()
{
    const qint64 now = since.elapsed();
    for (Waiting &news : waiting) {
        if (!news.cut)
            continue;
        news.cut = false;
        news.text = news.again;
        news.toldAt = now;
        ++news.retold;
        tell(news.text);
    }
    waiting.erase(std::remove_if(waiting.begin(), waiting.end(), [](const Waiting &w) { return w.retold >= MaxRetold; }),
                  waiting.end());
    watchKeys();
}

void installAccessibility()
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(programWidgets);
    }
}
