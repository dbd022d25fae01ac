# korvan_read_ftdi_products(<header> <vendor-var> <products-var>): the FTDI vendor id and the
# product ids the program lists, read from the header that the program itself compiles, so that
# what the package opens to the user is what the program looks for. Ids come out as udev and
# sysfs write them: four lowercase hex digits without 0x.
function(korvan_read_ftdi_products header vendor_var products_var)
  file(READ "${header}" text)
  # Comments may name chips with hex-like words; only the code counts.
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  if(NOT text MATCHES "kFtdiVendor = 0x([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]);")
    message(FATAL_ERROR "${header}: no kFtdiVendor = 0xNNNN;")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" vendor)
  if(NOT text MATCHES "kFtdiProducts[^{]*{([^}]*)}")
    message(FATAL_ERROR "${header}: no kFtdiProducts list in braces")
  endif()
  set(block "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "0x[0-9A-Fa-f]+" ids "${block}")
  # Anything else between the braces would be an id this reading misses.
  string(REGEX REPLACE "0x[0-9A-Fa-f]+|[ \t\r\n,]" "" rest "${block}")
  if(NOT rest STREQUAL "" OR NOT ids)
    message(FATAL_ERROR "${header}: kFtdiProducts must hold only ids written 0xNNNN")
  endif()
  set(products "")
  foreach(id IN LISTS ids)
    if(NOT id MATCHES "^0x([0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f])$")
      message(FATAL_ERROR "${header}: product id ${id} is not four hex digits")
    endif()
    string(TOLOWER "${CMAKE_MATCH_1}" product)
    list(APPEND products "${product}")
  endforeach()
  set(${vendor_var} "${vendor}" PARENT_SCOPE)
  set(${products_var} "${products}" PARENT_SCOPE)
endfunction()
