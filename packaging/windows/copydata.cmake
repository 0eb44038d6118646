# SPDX-License-Identifier: MIT
# The shipped data files (as the Linux installation has them): not the folder's README, nor the
# spectrum the window writes, nor a temporary file left by an interrupted write.
file(COPY ${SRC}/ DESTINATION ${DST}
     PATTERN README.md EXCLUDE
     PATTERN X_SPCTL.dat EXCLUDE
     PATTERN "*.tmp*" EXCLUDE)
