# Lays out an example show in the build tree: its committed files copied, and every file and folder
# of the built default show's data/ (the generated images, models and music) and its plug-ins
# copied beside them, where the example has none of its own. Copies, not links: a show reads no
# file through a link that leads out of its folder.
#   cmake -DEXAMPLE=<examples/NAME> -DDESTINATION=<build/examples/NAME> -DBUILD=<build> -P ExampleShow.cmake
file(REMOVE_RECURSE ${DESTINATION})
file(COPY ${EXAMPLE}/ DESTINATION ${DESTINATION})
file(GLOB default_data RELATIVE ${BUILD}/data ${BUILD}/data/*)
foreach(item ${default_data})
  if(NOT EXISTS ${DESTINATION}/data/${item} AND NOT item STREQUAL ".assets-stamp"
     AND NOT item MATCHES "^demo\\.")
    file(COPY ${BUILD}/data/${item} DESTINATION ${DESTINATION}/data)
  endif()
endforeach()
file(GLOB plugins ${BUILD}/plugins/*.so)
file(COPY ${plugins} DESTINATION ${DESTINATION}/plugins)
