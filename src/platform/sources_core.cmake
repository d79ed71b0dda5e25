# Non-interface half of the platform layer: events, threads, posted window
# messages, the millisecond clock, library loading, ini reading and the C
# runtime's formatting rules.
set(PLATFORM_CORE_SOURCES
    event.cpp
    event.h
    thread.cpp
    thread.h
    posted_message.cpp
    posted_message.h
    clock.cpp
    clock.h
    library.cpp
    library.h
    profile.cpp
    profile.h
    crt_format.cpp
    crt_format.h)
