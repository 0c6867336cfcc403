#pragma once

#include <QtGlobal>

// A listening socket for the phones' server, opened wherever sharing is turned on so that
// it never waits for the server's thread: every address, IPv4 and IPv6, on the first free
// port from `first`. Whoever takes the descriptor closes it.
struct Listening
{
    int descriptor = -1; // -1 when none of the ports was free
    quint16 port = 0;

    static Listening onFirstFree(quint16 first, int tries, int backlog);
};
