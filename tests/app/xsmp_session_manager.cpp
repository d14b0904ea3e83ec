// xsmp_session_manager ADDRESS_FILE STYLE... is a desktop's session manager (XSMP, log-out
// on X11) for one client; its address for SESSION_MANAGER goes to ADDRESS_FILE. SIGUSR1:
// a log-out round, saving for a shutdown with the next interact style (0 none, 2 any);
// SIGUSR2: die. Each answer is a line on standard output, numbered by round (0: the
// first save every new client gets).

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

volatile std::sig_atomic_t logoutAsked = 0;
volatile std::sig_atomic_t dieAsked = 0;
int round = 0;
SmsConn client = nullptr;
bool closed = false;

void Say(const char* what)
{
    std::printf("%d %s\n", round, what);
    std::fflush(stdout);
}

Status NewClient(SmsConn connection, SmPointer, unsigned long* mask, SmsCallbacks* callbacks, char**)
{
    client = connection;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask
        | SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask
        | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask
        | SmsGetPropertiesProcMask;
    callbacks->register_client.callback = [](SmsConn, SmPointer, char*) -> Status {
        char* id = SmsGenerateClientID(client);
        SmsRegisterClientReply(client, id);
        std::free(id);
        SmsSaveYourself(client, SmSaveLocal, False, SmInteractStyleNone, False);
        return 1;
    };
    callbacks->interact_request.callback = [](SmsConn, SmPointer, int) { SmsInteract(client); };
    callbacks->interact_done.callback = [](SmsConn, SmPointer, Bool) {};
    callbacks->save_yourself_request.callback = [](SmsConn, SmPointer, int, Bool, int, Bool, Bool) {};
    callbacks->save_yourself_phase2_request.callback = [](SmsConn, SmPointer) { SmsSaveYourselfPhase2(client); };
    callbacks->save_yourself_done.callback = [](SmsConn, SmPointer, Bool success) {
        Say(success ? "saved" : "save cancelled");
        if (!success) {
            SmsShutdownCancelled(client);
        }
    };
    callbacks->close_connection.callback = [](SmsConn, SmPointer, int, char**) {
        SmsCleanUp(client);
        closed = true;
    };
    callbacks->set_properties.callback = [](SmsConn, SmPointer, int count, SmProp** properties) {
        for (int i = 0; i < count; ++i) {
            SmFreeProperty(properties[i]);
        }
        std::free(properties);
    };
    callbacks->delete_properties.callback = [](SmsConn, SmPointer, int, char**) {};
    callbacks->get_properties.callback = [](SmsConn, SmPointer) { SmsReturnProperties(client, 0, nullptr); };
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ADDRESS_FILE STYLE...\n", argv[0]);
        return 2;
    }
    std::signal(SIGUSR1, [](int) { logoutAsked = 1; });
    std::signal(SIGUSR2, [](int) { dieAsked = 1; });
    IceSetIOErrorHandler([](IceConn) {});
    char error[256] = "";
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!SmsInitialize(
            "sih-test", "1", NewClient, nullptr, [](char*) -> Bool { return True; }, sizeof error, error)
        || !IceListenForConnections(&count, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "%s\n", error);
        return 1;
    }
    // The local socket alone, open to every client: no authentication to set up.
    IceListenObj local = nullptr;
    for (int i = 0; i < count; ++i) {
        char* address = IceGetListenConnectionString(listeners[i]);
        if (std::strncmp(address, "local/", 6) == 0 && local == nullptr) {
            local = listeners[i];
            IceSetHostBasedAuthProc(local, [](char*) -> Bool { return True; });
            std::FILE* file = std::fopen(argv[1], "w");
            std::fputs(address, file);
            std::fclose(file);
        }
        std::free(address);
    }
    IceConn connection = nullptr;
    while (local != nullptr && !closed) {
        pollfd fds[2] = {{IceGetListenConnectionNumber(local), POLLIN, 0},
                         {connection != nullptr ? IceConnectionNumber(connection) : -1, POLLIN, 0}};
        poll(fds, 2, 100);
        if (logoutAsked != 0 && client != nullptr && round + 2 < argc) {
            logoutAsked = 0;
            ++round;
            SmsSaveYourself(client, SmSaveBoth, True, std::atoi(argv[round + 1]), False);
        }
        if (dieAsked != 0 && client != nullptr) {
            dieAsked = 0;
            SmsDie(client);
        }
        if ((fds[0].revents & POLLIN) != 0 && connection == nullptr) {
            IceAcceptStatus status;
            connection = IceAcceptConnection(local, &status);
            while (connection != nullptr && IceConnectionStatus(connection) == IceConnectPending) {
                IceProcessMessages(connection, nullptr, nullptr);
            }
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) != 0
            && IceProcessMessages(connection, nullptr, nullptr) == IceProcessMessagesIOError) {
            break;
        }
    }
    return local != nullptr ? 0 : 1;
}
