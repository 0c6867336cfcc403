#pragma once

#include "claimdesk.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>
#include <vector>

// The phones' server as the program loads it, the first time the host shares the game: the
// network libraries it needs are not needed for the first paint, nor by a host who never
// shares. This header is the whole contract between the program and the plugin; both
// include it.
class PhoneServer
{
public:
    // Called on the server's thread.
    struct Hooks
    {
        std::function<void(int phones)> phonesChanged; // at most once a second
        std::function<void(const PhoneClaim &claim)> claimed; // a claim the desk admitted
    };

    virtual ~PhoneServer() = default;

    // All of these on the server's thread, where the server was made.
    // Serves on a listening socket opened for it, which it closes when it goes; false when
    // the socket cannot be taken.
    virtual bool open(qintptr listening) = 0;
    virtual void publish(const QByteArray &snapshot) = 0;
    // The books in play, whose tickets may claim.
    virtual void setBooks(const std::vector<BookList::Book> &books) = 0;
    // A verdict for a ticket: to every page holding it, now and when one comes back this game.
    virtual void tellVerdict(const QString &code, const QByteArray &message) = 0;
};

// The plugin's entry points; the program finds them by these names and calls them through
// pointers of these very types. Made on the server's thread; palette: the page's colours.
#define TK_PHONES_ENTRY tkCreatePhoneServer
extern "C" PhoneServer *TK_PHONES_ENTRY(const QByteArray &palette, const PhoneServer::Hooks &hooks);
using CreatePhoneServer = decltype(&TK_PHONES_ENTRY);
// Where phones find the page on this machine's networks, the hall's first; any thread.
#define TK_PHONES_ADDRESSES tkPhoneAddresses
extern "C" QStringList TK_PHONES_ADDRESSES(quint16 port);
using PhoneAddresses = decltype(&TK_PHONES_ADDRESSES);

#define TK_PHONES_NAME_OF(entry) #entry
#define TK_PHONES_SYMBOL_OF(entry) TK_PHONES_NAME_OF(entry)
inline constexpr const char *CreatePhoneServerSymbol = TK_PHONES_SYMBOL_OF(TK_PHONES_ENTRY);
inline constexpr const char *PhoneAddressesSymbol = TK_PHONES_SYMBOL_OF(TK_PHONES_ADDRESSES);
