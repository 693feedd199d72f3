# The allowed include graph of src/: a file of a layer may include its own layer's
# headers and those of the layers listed for it, and nothing else of ours; the
# layers below the Qt support include no Qt header. Fails naming every file and
# include outside the graph.
# Usage: cmake -DROOT=<source tree> -P check_layering.cmake
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P check_layering.cmake")
endif()

set(layers core facts net io cache sched qt ui cli app)
set(allowed_core "")
# The reading of registry answers sits on the records and nothing else.
set(allowed_facts core)
set(allowed_net core facts)
set(allowed_io core facts)
# The answer cache and delegation data keep to the records' basics.
set(allowed_cache core)
set(allowed_sched core facts net io cache)
set(allowed_qt core facts net io cache sched)
set(allowed_ui core facts net io cache sched qt)
set(allowed_cli core facts net io cache sched qt)
set(allowed_app core facts net io cache sched qt ui)
# Layers that must stay free of Qt.
set(qt_free core facts net io cache sched)

set(bad "")
foreach(layer ${layers})
  file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/src/${layer}/*.h ${ROOT}/src/${layer}/*.cpp)
  foreach(f ${files})
    file(STRINGS ${ROOT}/${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" inc "${line}")
      if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"")
        # A quoted include with a folder names the layer it reaches into.
        if(inc MATCHES "^([A-Za-z0-9_]+)/")
          set(target ${CMAKE_MATCH_1})
          list(FIND layers ${target} known)
          list(FIND allowed_${layer} ${target} permitted)
          if(NOT known EQUAL -1 AND NOT target STREQUAL layer AND permitted EQUAL -1)
            list(APPEND bad "${f}: #include \"${inc}\" (${layer} may not include ${target}/)")
          endif()
        endif()
      elseif(inc MATCHES "^(Q[A-Za-z]|Qt)")
        list(FIND qt_free ${layer} must_be_free)
        if(NOT must_be_free EQUAL -1)
          list(APPEND bad "${f}: #include <${inc}> (${layer} is Qt-free)")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "includes outside the layer graph:\n${bad}")
endif()
message(STATUS "every include follows the layer graph")
