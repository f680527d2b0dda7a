# The compiler's sources, listed once for the cross build (qrtc.exe and the
# tests), the build for this machine (compiler/native) and the fuzz target.
set(qrtc_sources
  ${CMAKE_CURRENT_LIST_DIR}/cp932.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cp932_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/diagnostics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lexer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preprocessor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/checker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/emitter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/routine_gen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/routine_gen_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/routine_gen_expr.cpp
  ${CMAKE_CURRENT_LIST_DIR}/routine_gen_calls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/routine_gen_loops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/codegen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/compiler.cpp)
# The load catalogue: the compiler's diagnostics are its rows.
set(qrtc_catalogue_source ${CMAKE_CURRENT_LIST_DIR}/../base/catalogue.cpp)
