# The layers of src/core, lowest first. A file may include from its own
# folder and from the folders of the layers below it; the folders of the top
# layer are siblings that do not include each other. Nothing in the core
# includes Qt.
set(SF_CORE_LAYERS framework sysex source driver patchtools "editor,tools,instrument")

# The layer (0 = lowest) of a folder of src/core, or -1 for a folder that has
# no place in the layers.
function(sf_core_layer folder out)
  set(rank 0)
  foreach(layer ${SF_CORE_LAYERS})
    string(REPLACE "," ";" folders "${layer}")
    if(folder IN_LIST folders)
      set(${out} ${rank} PARENT_SCOPE)
      return()
    endif()
    math(EXPR rank "${rank} + 1")
  endforeach()
  set(${out} -1 PARENT_SCOPE)
endfunction()

# Why folder `from` may not use folder `to` (empty when it may).
function(sf_core_layer_breach from to out)
  sf_core_layer(${from} a)
  sf_core_layer(${to} b)
  list(LENGTH SF_CORE_LAYERS top)
  math(EXPR top "${top} - 1")
  if(a LESS 0)
    set(${out} "folder ${from}/ has no place in the layers" PARENT_SCOPE)
  elseif(b GREATER a)
    set(${out} "${to}/ lies above ${from}/" PARENT_SCOPE)
  elseif(b EQUAL top AND NOT from STREQUAL to)
    set(${out} "${to}/ and ${from}/ are siblings" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()
