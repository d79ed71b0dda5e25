# TARVIK_SANITIZE selects an instrumented build: "address,undefined" or
# "thread". The flags go on every target, the driver libraries included, so
# the sanitizer sees both sides of each call.
if(TARVIK_SANITIZE)
  set(_san_flags -fsanitize=${TARVIK_SANITIZE} -fno-omit-frame-pointer -g)
  if(TARVIK_SANITIZE MATCHES "undefined")
    list(APPEND _san_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_san_flags})
  add_link_options(-fsanitize=${TARVIK_SANITIZE})
  add_compile_definitions(TARVIK_SANITIZED_BUILD=1)
endif()
