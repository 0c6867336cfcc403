#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <typeindex>
#include <unordered_map>

// The main window's secondary windows, one of each kind: made on first use, the same one
// handed back while it is open, forgotten the moment it closes (the next use makes a new
// one even before the closed one is deleted), and whatever is left deleted with the owner,
// before the game and the voice the windows point into.
class WindowOwner : public QObject
{
    Q_OBJECT

public:
    explicit WindowOwner(QObject *parent = nullptr)
        : QObject(parent)
    {
    }
    ~WindowOwner() override { deleteAll(); }

    // Deletes every window it still has, open or closing.
    void deleteAll()
    {
        auto left = std::move(windows);
        windows.clear();
        for (auto &entry : left)
            delete entry.second.data();
    }

    // The open window of this kind, or the one make() makes now.
    template<typename Window, typename Make> Window *get(Make make)
    {
        if (Window *open = find<Window>())
            return open;
        Window *made = make();
        made->installEventFilter(this);
        windows[typeid(Window)] = made;
        return made;
    }
    // The open window of this kind, or null.
    template<typename Window> Window *find() const
    {
        const auto at = windows.find(typeid(Window));
        return at == windows.end() ? nullptr : static_cast<Window *>(at->second.data());
    }

Q_SIGNALS:
    // A window closed and was forgotten.
    void closed(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            for (auto at = windows.begin(); at != windows.end(); ++at) {
                if (at->second == watched) {
                    windows.erase(at);
                    watched->removeEventFilter(this);
                    Q_EMIT closed(static_cast<QWidget *>(watched));
                    break;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::unordered_map<std::type_index, QPointer<QWidget>> windows;
};
