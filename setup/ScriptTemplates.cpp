// The templates of the generated scripts. They are printf formats: "%s"
// marks a value, and the scripts themselves use no "%". They are written for
// the Bourne shell of the print hosts: no ${var#...}, no $(...).
#include "Scripts.h"

const char ScriptShShell[] = "#!/bin/sh\n";

const char ScriptBanner[] = R"SH(###############################################################
##                                                           ##
##  Copyright %s Corla Systems, Inc. All rights reserved.  ##
##                                                           ##
###############################################################

)SH";

// Run by the print system for every job of a queue of the suite; .pm_cfg
// tells which print system that is.
const char CorlaPrintvqmmScript[] = R"SH(ToolPath="%s"
CfgFlags=`cat ${ToolPath}/.pm_cfg`

## Print the argument unchanged and a line end (echo would take the
## backslashes of job names such as C:\temp\new.txt for escapes)
PassValue()
{
    cat <<EOF
$1
EOF
}

## Determine configuration
for Flag in $CfgFlags
do
    case $Flag in
    LPRng|V5|AIX|BSD|CUPS)
        flConfig=$Flag
        ;;
    esac
done

## Main section of the script
case ${flConfig:-V5} in
AIX)
    # AIX: native lpd subsystems
    cd ${ToolPath}
    ${ToolPath}/AixInterface $*
    ;;
BSD)
    # BSD: SunOS, DEC-UX and native Linux lpd subsystems
    PlimtoQueue=`pwd`
    PlimtoPrinter=`basename $PlimtoQueue`
    export PlimtoQueue PlimtoPrinter
    ${ToolPath}/pmr%stty -d$PlimtoPrinter -f >%s.log 2>%s.log
    ;;
LPRng)
    # LPRng: a BSD subsystem with additional quirks
    PlimtoFileSourceDir=`pwd`
    export PlimtoFileSourceDir
    cd ${ToolPath}
    if [ -z "$PRINTER" -o "$PRINTER" = "none" ]
    then
        PlimtoQueue=`basename $SPOOL_DIR`
    else
        PlimtoQueue=$PRINTER
    fi
    export PlimtoQueue
    options=""
    FFL=""
    flControlFile=""
    while read -r Ln
    do
        case $Ln in
        H*)
            PlimtoHost_name=`PassValue "$Ln" | cut -c2-`
            export PlimtoHost_name
            ;;
        P*)
            PlimtoUser_name=`PassValue "$Ln" | cut -c2-`
            export PlimtoUser_name
            ;;
        Z*)
            Zopt=`PassValue "$Ln" | sed -e 's/^Z/-o/' -e 's/,/ -o/g'`
            options="$options $Zopt"
            ;;
        Q*)
            PlimtoQueue=`PassValue "$Ln" | cut -c2-`
            export PlimtoQueue
            ;;
        J*)
            FFL=`PassValue "$Ln" | cut -c2-`
            ;;
        N*)
            PlimtoJob_title=`PassValue "$Ln" | cut -c2-`
            export PlimtoJob_title
            ;;
        U*)
            if [ -z "$flControlFile" ]
            then
                flControlFile=1
                PlimtoControl_file=c`PassValue "$Ln" | cut -c3-`
                export PlimtoControl_file
            fi
            ;;
        -A*)
            ${ToolPath}/pmr%stty -d${PlimtoQueue} -f $options $FFL >/dev/null 2>&1
            exit 0
            ;;
        esac
    done <<EOF
$CONTROL $*
EOF
    ;;
V5)
    # V5: Solaris, HP-UX, SGI and SCO lp subsystems
    PATH=/usr/sbin:/usr/bin
    PlimtoPrinter=`basename $0`
    PlimtoRequest_id=$1
    PlimtoUser_name=$2
    PlimtoTitle=`PassValue "$3" | sed -e "s/###[ 0-9A-z#].*//"`
    PlimtoCopies=$4
    PlimtoOption_list=$5
    export PATH PlimtoPrinter PlimtoRequest_id PlimtoUser_name PlimtoTitle
    export PlimtoCopies PlimtoOption_list
    shift 5
    cd ${ToolPath}
    ${ToolPath}/pmr%stty -d$PlimtoPrinter -i $*
    ;;
CUPS)
    # CUPS: Common Unix Printing System
    PATH=/usr/sbin:/usr/bin
    PlimtoPrinter=$PRINTER
    PlimtoRequest_id=$1
    PlimtoUser_name=$2
    PlimtoTitle=$3
    PlimtoCopies=$4
    PlimtoOption_list=$5
    export PATH PlimtoPrinter PlimtoRequest_id PlimtoUser_name PlimtoTitle
    export PlimtoCopies PlimtoOption_list
    shift 5
    cd ${ToolPath}
    ${ToolPath}/pmrvqmmtty -d$PlimtoPrinter -i $*
    ;;
esac)SH";

// The filter of the suite's queues: hands the job to csf, again and again
// until csf takes it.
const char CorlaCSFScript[] = R"SH(ToolPath="%s"
CfgFlags=`cat ${ToolPath}/.pm_cfg`
SpoolDir="%s"

# Determine configuration
for Flag in $CfgFlags
do
    case $Flag in
    LPRng|V5|AIX|BSD|CUPS)
        flConfig=$Flag
        ;;
    esac
done

# Main section of the script
case ${flConfig:-V5} in
AIX)
    # AIX: native lpd subsystems
    cd ${ToolPath}
    _exitVal=1
    while [ $_exitVal -ne 0 ]
    do
        ${ToolPath}/csf $*
        _exitVal=$?
    done
    ;;
BSD)
    # BSD: SunOS, DEC-UX and native Linux lpd subsystems
    PlimtoQueue=`pwd`
    PlimtoPrinter=`basename $PlimtoQueue`
    export PlimtoQueue PlimtoPrinter
    cat > ${SpoolDir}/${PlimtoPrinter}/${PlimtoPrinter}.$$
    _exitVal=1
    while [ $_exitVal -ne 0 ]
    do
        ${ToolPath}/csf ${SpoolDir}/${PlimtoPrinter}/${PlimtoPrinter}.$$
        _exitVal=$?
    done
    rm -f ${SpoolDir}/${PlimtoPrinter}/${PlimtoPrinter}.$$
    ;;
LPRng)
    # LPRng: a BSD subsystem with additional quirks
    PlimtoQueue=`pwd`
    PlimtoPrinter=`basename $PlimtoQueue`
    export PlimtoQueue PlimtoPrinter
    _files=""
    while getopts C:A:F:H:J:L:P:Q:a:d:e:f:h:j:k:l:n:s:w:y:t:x: opt
    do
        case $opt in
        f)
            _files="$_files $OPTARG"
            ;;
        esac
    done
    _jobs=""
    _stdinCopy=""
    for _file in $_files
    do
        if [ "$_file" = "(stdin)" ]
        then
            _stdinCopy=${SPOOL_DIR}/${PlimtoPrinter}.$$
            cat > $_stdinCopy
            _jobs=$_stdinCopy
        else
            _jobs="$_jobs $_file"
        fi
    done
    _exitVal=1
    while [ $_exitVal -ne 0 ]
    do
        ${ToolPath}/csf $_jobs
        _exitVal=$?
    done
    if [ -n "$_stdinCopy" ]
    then
        rm -f $_stdinCopy
    fi
    ;;
V5)
    # V5: Solaris, HP-UX, SGI and SCO lp subsystems
    PATH=/usr/sbin:/usr/bin
    PlimtoPrinter=`basename $0`
    PlimtoRequest_id=$1
    PlimtoUser_name=$2
    PlimtoTitle=$3
    PlimtoCopies=$4
    PlimtoOption_list=$5
    export PATH PlimtoPrinter PlimtoRequest_id PlimtoUser_name PlimtoTitle
    export PlimtoCopies PlimtoOption_list
    shift 5
    cd ${ToolPath}
    _exitVal=1
    while [ $_exitVal -ne 0 ]
    do
        ${ToolPath}/csf $*
        _exitVal=$?
    done
    ;;
CUPS)
    # CUPS: Common Unix Printing System
    PATH=/usr/sbin:/usr/bin
    PlimtoPrinter=$PRINTER
    PlimtoRequest_id=$1
    PlimtoUser_name=$2
    PlimtoTitle=$3
    PlimtoCopies=$4
    PlimtoOption_list=$5
    export PATH PlimtoPrinter PlimtoRequest_id PlimtoUser_name PlimtoTitle
    export PlimtoCopies PlimtoOption_list
    shift 5
    cd ${ToolPath}
    _exitVal=1
    while [ $_exitVal -ne 0 ]
    do
        ${ToolPath}/csf $*
        _exitVal=$?
    done
    ;;
esac)SH";

// A wrapper in /usr/bin for a program of the application directory.
const char SimpleScript[] = R"SH(
PlimtoFileSourceDir=`pwd`
export PlimtoFileSourceDir

cd %s
exec %s/%s $*
)SH";
