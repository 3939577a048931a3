# The library graph has no cycle: the framework core needs nothing of the graphics context or the controls, and the
# graphics core nothing of the controls' code. Each archive's undefined symbols must not name the other classes.
#   cmake -DNM=nm -DFRAMEWORK=libframework.a -DGRAPHICS=libgraphics.a -P check_links.cmake
function(forbid archive pattern)
  execute_process(COMMAND ${NM} -C --undefined-only ${archive} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${archive}")
  endif()
  string(REGEX MATCHALL "[^\n]*(${pattern})[^\n]*" hits "${out}")
  if(hits)
    message(FATAL_ERROR "${archive} needs symbols it must not link:\n${hits}")
  endif()
endfunction()

forbid(${FRAMEWORK} "igraphics::IGraphics::|igraphics::IControl::|IPopupMenu::")
forbid(${GRAPHICS} "igraphics::IControl::")
