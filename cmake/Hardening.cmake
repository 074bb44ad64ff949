# The hardening a Debian package is built with (what dpkg-buildflags gives on amd64): stack
# protector and clash protection, checked string and memory functions, a position-independent
# program whose relocations are all resolved at start and then made read-only. The sanitizer
# and fuzz builds leave it out: their own instrumentation replaces the checked functions.
option(ORVANTA_HARDENING "Build with the usual hardening flags" ON)
if(ORVANTA_HARDENING AND NOT ORVANTA_SANITIZE AND NOT ORVANTA_BUILD_FUZZ)
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    add_compile_options(-fstack-protector-strong -fstack-clash-protection)
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
        add_compile_options(-fcf-protection)
    endif()
    # The checked functions need an optimising build; a compiler that defines its own level
    # would otherwise warn about the redefinition.
    add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>"
                        "$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>")
    add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
