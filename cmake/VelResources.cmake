# vel_embed_resources(<target> <number> <file> [<number> <file> ...])
#
# Builds the given files into <target> as numbered resources, the ones the
# program opens with "res:<number>". The generated source registers its table
# with the platform layer from a static constructor, so it must be compiled into
# the executable itself (not into a static library the linker may drop).
function(vel_embed_resources target)
  set(args ${ARGN})
  list(LENGTH args count)
  math(EXPR odd "${count} % 2")
  if(count EQUAL 0 OR odd)
    message(FATAL_ERROR "vel_embed_resources: expected <number> <file> pairs")
  endif()
  if(WIN32)
    # Windows programs carry them as RT_RCDATA resources of their module.
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  else()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  endif()
  set(depends)
  set(pairs)
  math(EXPR last "${count} - 1")
  foreach(i RANGE 0 ${last} 2)
    math(EXPR j "${i} + 1")
    list(GET args ${i} number)
    list(GET args ${j} file)
    get_filename_component(file ${file} ABSOLUTE)
    list(APPEND depends ${file})
    list(APPEND pairs "${number}=${file}")
  endforeach()
  string(REPLACE ";" "|" pairs_arg "${pairs}")
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} "-DPAIRS=${pairs_arg}" -DOUT=${out} -DRC=${WIN32}
            -P ${VEL_RESOURCES_SCRIPT}
    DEPENDS ${depends} ${VEL_RESOURCES_SCRIPT}
    COMMENT "Embedding resources into ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()

set(VEL_RESOURCES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/VelResourcesGenerate.cmake
    CACHE INTERNAL "")
