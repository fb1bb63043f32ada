# frigel_folder_library(NAME SOURCE...): a static library of the calling
# folder's sources whose headers, in that same folder, are public to every
# target that links it (the tools' and the tests' own libraries).
function(frigel_folder_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()
