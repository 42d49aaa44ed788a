# Warnings for every target of the project; CI turns them into errors.
add_compile_options(-Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wold-style-cast)
if(RM525FW_WERROR)
  add_compile_options(-Werror)
endif()
