# The layers of the tree, checked on what was built and on the sources:
#
#   cmake -DLIBS=<libraries> -DSOURCE_DIR=<tree> -P CheckLayers.cmake
#
# 1. None of LIBS (the platform's layers below the windows) needs Qt Gui or
#    Qt Widgets (its dynamic section's NEEDED entries).
# 2. Every quoted #include of the product's sources names its place and goes
#    down the layers, never up:
#      Core < DataAccess < EmbeddedServer, PostgresServer, Ui  (the platform, Platform/)
#      Source, Files < Console                 (Source and Files: only the platform below)
#      Modules                                 (the platform and Source)
#    A folder includes its own headers too; nothing includes tests/, bench/,
#    tools/ or fuzz/. Generated moc files ("X.moc") are the build's own.

cmake_minimum_required(VERSION 3.25)

foreach(lib IN LISTS LIBS)
  execute_process(COMMAND readelf -d ${lib} OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot read ${lib}")
  endif()
  if(dynamic MATCHES "libQt6(Gui|Widgets)")
    message(FATAL_ERROR "${lib} needs ${CMAKE_MATCH_0}: only the Ui layer may use windows")
  endif()
  if(NOT dynamic MATCHES "libQt6Core")
    message(FATAL_ERROR "${lib}: no Qt Core in its NEEDED entries, the check reads the wrong file")
  endif()
  message(STATUS "${lib}: no window libraries")
endforeach()

# Folder of the tree, the layer it is, and what that layer may include.
set(platform Core DataAccess EmbeddedServer PostgresServer Ui)
set(folders Platform/Core Platform/DataAccess Platform/EmbeddedServer Platform/PostgresServer Platform/Ui Source Files
            Console Modules)
set(layers Core DataAccess EmbeddedServer PostgresServer Ui Source Files Console Modules)
set(allowed_Core Core)
set(allowed_DataAccess Core DataAccess)
set(allowed_EmbeddedServer Core DataAccess EmbeddedServer)
set(allowed_PostgresServer Core DataAccess PostgresServer)
set(allowed_Ui Core DataAccess Ui)
set(allowed_Source ${platform} Source)
set(allowed_Files ${platform} Files)
set(allowed_Console ${platform} Source Files Console)
set(allowed_Modules ${platform} Source Modules)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not given")
endif()
set(faults "")
set(checked 0)
foreach(folder layer IN ZIP_LISTS folders layers)
  file(GLOB_RECURSE sources LIST_DIRECTORIES false RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" name "${line}")
      math(EXPR checked "${checked} + 1")
      if(name MATCHES "^[^/]+\\.moc$")
        continue()
      endif()
      string(REGEX MATCH "^[^/]+" top "${name}")
      if(NOT name MATCHES "/" OR name MATCHES "(^|/)\\.\\.?/")
        string(APPEND faults "\n  ${source}: \"${name}\" does not name its place (\"Core/IniFile.h\", \"Console/uMenu.h\")")
      elseif(NOT top IN_LIST allowed_${layer})
        list(JOIN allowed_${layer} ", " may)
        string(APPEND faults "\n  ${source}: ${layer} includes ${top} (\"${name}\"); it may include ${may}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(checked LESS 100)
  message(FATAL_ERROR "only ${checked} includes under ${SOURCE_DIR}: the check reads the wrong folder")
endif()
if(faults)
  message(FATAL_ERROR "includes against the layers:${faults}")
endif()
message(STATUS "${checked} includes go down the layers")
