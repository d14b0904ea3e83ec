#include "app/network_startup.h"

#include <Poco/Net/Net.h>
#include <openssl/ssl.h>

NetworkStartup::NetworkStartup()
{
#ifdef _WIN32
    winSockStarted_ = StartWinSock();
#endif
    // Error strings of the SSL and crypto libraries; the result is deliberately ignored.
    static_cast<void>(OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr));
}

NetworkStartup::~NetworkStartup()
{
#ifdef _WIN32
    if (winSockStarted_) {
        StopWinSock();
    }
#endif
}

namespace {

#if !defined(_WIN32) || defined(__GNUC__)
// On Windows with MSVC the network library's header pulls in its process-wide
// initialiser by itself; elsewhere a reference keeps the library loaded with the program.
[[maybe_unused]] void (*volatile const NetworkLibraryInitializer)() = &Poco::Net::initializeNetwork;
#endif

// Two modules of the program each hold a start-up pair.
const NetworkStartup ShellNetworkStartup;
const NetworkStartup WindowNetworkStartup;

} // namespace
