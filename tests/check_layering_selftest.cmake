# Runs the layer check on small trees written for the purpose: a tree that keeps to
# the graph passes, and each wrong arrow fails with the file and the include named.
# Usage: cmake -DCHECK=<check_layering.cmake> -DWORK=<scratch folder> -P check_layering_selftest.cmake
set(cases
  # name | file | its text | expected result (ok, or the text the failure names)
  "good|src/sched/Session.cpp|#include \"net/Whois.h\"\n#include \"io/Log.h\"\n#include <vector>\n|ok"
  "ui-into-qt|src/ui/frame/Frame.cpp|#include \"qt/QtSettingsStore.h\"\n#include <QWidget>\n|ok"
  "core-up|src/core/Doc.h|#include \"ui/frame/MainFrame.h\"\n|src/core/Doc.h: #include \"ui/frame/MainFrame.h\""
  "net-sideways|src/net/Whois.cpp|#include \"io/TextFile.h\"\n|src/net/Whois.cpp: #include \"io/TextFile.h\""
  "into-cli|src/ui/lists/List.cpp|#include \"cli/CliCommand.h\"\n|src/ui/lists/List.cpp: #include \"cli/CliCommand.h\""
  "into-app|src/cli/main.cpp|#include \"app/ScriptedLookup.h\"\n|src/cli/main.cpp: #include \"app/ScriptedLookup.h\""
  "qt-in-sched|src/sched/Tick.h|#include <QTimer>\n|src/sched/Tick.h: #include <QTimer>"
  "qt-below-ui|src/qt/Store.cpp|#include \"ui/TextConv.h\"\n|src/qt/Store.cpp: #include \"ui/TextConv.h\""
  "facts-on-core|src/facts/Arin.cpp|#include \"core/record/DottedQuad.h\"\n#include \"facts/WhoisFacts.h\"\n|ok"
  "facts-up|src/facts/Arin.cpp|#include \"sched/RangeReuse.h\"\n|src/facts/Arin.cpp: #include \"sched/RangeReuse.h\""
  "facts-sideways|src/facts/Rdap.cpp|#include \"net/RdapQuery.h\"\n|src/facts/Rdap.cpp: #include \"net/RdapQuery.h\""
  "core-into-facts|src/core/record/IPDataArray.h|#include \"facts/WhoisFactsCache.h\"\n|src/core/record/IPDataArray.h: #include \"facts/WhoisFactsCache.h\""
  "qt-in-facts|src/facts/Country.cpp|#include <QString>\n|src/facts/Country.cpp: #include <QString>"
  "cache-on-core|src/cache/AnswerCache.cpp|#include \"core/settings/ProgramSettings.h\"\n#include <sqlite3.h>\n|ok"
  "sched-on-cache|src/sched/Run.cpp|#include \"cache/AnswerCache.h\"\n|ok"
  "cache-up|src/cache/AnswerCache.cpp|#include \"sched/RangeReuse.h\"\n|src/cache/AnswerCache.cpp: #include \"sched/RangeReuse.h\""
  "cache-into-facts|src/cache/Delegations.h|#include \"facts/WhoisFacts.h\"\n|src/cache/Delegations.h: #include \"facts/WhoisFacts.h\""
  "net-into-cache|src/net/Rdap.cpp|#include \"cache/AnswerCache.h\"\n|src/net/Rdap.cpp: #include \"cache/AnswerCache.h\""
  "qt-in-cache|src/cache/Path.cpp|#include <QStandardPaths>\n|src/cache/Path.cpp: #include <QStandardPaths>"
)
set(failures "")
foreach(case ${cases})
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  list(GET parts 2 text)
  list(GET parts 3 expected)
  set(tree ${WORK}/${name})
  file(REMOVE_RECURSE ${tree})
  string(REPLACE "\\n" "\n" text "${text}")
  string(REPLACE "\\\"" "\"" text "${text}")
  file(WRITE ${tree}/${file} "${text}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${tree} -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "\\\"" "\"" expected "${expected}")
  if(expected STREQUAL "ok")
    if(NOT rc EQUAL 0)
      list(APPEND failures "${name}: expected to pass, failed with:\n${err}")
    endif()
  else()
    string(FIND "${err}" "${expected}" at)
    if(rc EQUAL 0 OR at EQUAL -1)
      list(APPEND failures "${name}: expected a failure naming '${expected}', got (${rc}):\n${err}")
    endif()
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
if(failures)
  string(REPLACE ";" "\n" failures "${failures}")
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "the layer check passes a good tree and names every wrong include")
