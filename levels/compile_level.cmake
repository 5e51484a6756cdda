# Runs mazec on a scratch copy of one level folder and copies level.lvx to OUTPUT.
# mazec's spinner output is kept out of the build log unless the compile fails.
file(REMOVE_RECURSE ${SCRATCH_DIR})
file(MAKE_DIRECTORY ${SCRATCH_DIR})
foreach(name layer1.txt layer2.txt colors.txt entity.txt)
  file(COPY ${SOURCE_DIR}/${name} DESTINATION ${SCRATCH_DIR})
endforeach()
# In the browser build mazec is WebAssembly, run by Node.
set(runner)
if(MAZEC_NODE)
  set(runner ${MAZEC_NODE} --no-experimental-fetch)
endif()
execute_process(
  COMMAND ${runner} ${MAZEC}
  WORKING_DIRECTORY ${SCRATCH_DIR}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "mazec failed on ${SOURCE_DIR} (${result}):\n${output}")
endif()
file(COPY_FILE ${SCRATCH_DIR}/level.lvx ${OUTPUT})
