#include "relay/InGameRelay.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

InGameRelay::InGameRelay() : running( 0 ) {
}

InGameRelay::~InGameRelay() {
    Stop();
}

int InGameRelay::Start( const std::string &address ) {
    RelayOptions options;
    options.address = address;
    if ( !server.Create( options ) ) {
        options.port = 0;
        if ( !server.Create( options ) ) {
            return 0;
        }
    }
    thread = std::thread( [this]() { server.Run(); } );
    running = 1;
    return 1;
}

void InGameRelay::Stop() {
    if ( running ) {
        server.Stop();
        thread.join();
        running = 0;
    }
}

std::string InGameRelay::GetNetworkAddress() {
    std::string address = "127.0.0.1";
    ifaddrs *list = nullptr;
    if ( getifaddrs( &list ) != 0 ) {
        return address;
    }
    for ( ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next ) {
        if ( entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
             ( entry->ifa_flags & IFF_LOOPBACK ) || !( entry->ifa_flags & IFF_UP ) ) {
            continue;
        }
        char text[INET_ADDRSTRLEN];
        const sockaddr_in *ip = reinterpret_cast<const sockaddr_in *>( entry->ifa_addr );
        if ( inet_ntop( AF_INET, &ip->sin_addr, text, sizeof( text ) ) != nullptr ) {
            address = text;
            break;
        }
    }
    freeifaddrs( list );
    return address;
}
