# Makes the shipped pixwall.ini (written for IIS) the one of the Debian package.
s#beside the filter module (pixwall\.dll) and is read again#beside the filter module (/etc/pixwall/pixwall.so) and is read again#
s#no IIS restart is needed after an edit#no nginx reload is needed after an edit#
s#^; Order among the web server's filters: low, medium (the default) or high\. Read only when IIS$#; Order among the web server's filters: low, medium (the default) or high. Read only when nginx#
s#^; on (exactly, in lower case) writes pixwall\.log into the LogFiles folder beside the module\.$#; on (exactly, in lower case) writes pixwall.log into the folder below.#
s#^; Another folder for the log, for example C:\\Logs\\pixwall\. It must exist#; The log's folder (default: LogFiles beside the module). It must exist#
s#^logfolder=default$#logfolder=/var/log/pixwall#
/^; Bytes before pixwall\.log is moved to pixwall\.1\.log/c\
; Bytes before pixwall.log is moved to pixwall.1.log. logrotate rotates pixwall.log weekly\
; (/etc/logrotate.d/pixwall): this is the largest size, so that the filter leaves it to logrotate.
s#^maxlogsize=50000$#maxlogsize=2147483647#
