# Warnings and sanitizers for every target of the project, through one interface library.
add_library(qel_settings INTERFACE)
target_compile_options(qel_settings INTERFACE -Wall -Wextra)
if(QEL_WERROR)
    target_compile_options(qel_settings INTERFACE -Werror)
endif()

if(QEL_SANITIZE)
    # Applied globally so that test binaries and every library share one runtime.
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

if(QEL_TSAN)
    if(QEL_SANITIZE)
        message(FATAL_ERROR "QEL_TSAN and QEL_SANITIZE exclude each other: one runtime per build")
    endif()
    # Qt and libjack are not instrumented: what they synchronise among
    # themselves is invisible here, so runs use scripts/tsan-suppressions.txt.
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()
