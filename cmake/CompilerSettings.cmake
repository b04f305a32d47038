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
