# Qt headers shared by every subsystem, precompiled once per target.
set(TAVI_PCH_HEADERS
  <QtCore/QByteArray> <QtCore/QString> <QtCore/QStringList> <QtCore/QVariant> <QtCore/QVariantMap>
  <QtCore/QDateTime> <QtCore/QUuid> <QtCore/QUrl> <QtCore/QObject> <QtCore/QHash> <QtCore/QList>
  <QtCore/QMutex> <QtCore/QJsonObject> <QtCore/QJsonDocument> <QtGui/QColor> <QtGui/QImage>
  <memory> <optional> <functional> <vector> <string> <mutex> <atomic>)

# tavi_add_subsystem(name folder DEPS ...): a static library tavi_<name> of every source below folder.
function(tavi_add_subsystem name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  set(target tavi_${name})
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  # A modules/ folder holds loadable modules, built by tavi_add_module.
  list(FILTER sources EXCLUDE REGEX "/${folder}/modules/")
  set(use_pch ON)
  if(NOT sources)
    set(use_pch OFF)
    # A subsystem not written yet: keep the target so the dependency chain holds.
    set(sources ${CMAKE_BINARY_DIR}/empty_${name}.cpp)
    file(WRITE ${sources} "// placeholder for an empty subsystem\n")
  endif()
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h)
  add_library(${target} STATIC ${sources} ${headers})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  if(use_pch)
    target_precompile_headers(${target} PRIVATE ${TAVI_PCH_HEADERS})
  endif()
endfunction()
