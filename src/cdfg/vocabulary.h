// Node kinds, attribute identifiers and enumerated values shared with the front end.
// These codes are part of the CDFG file format; do not renumber.
#pragma once
#include <cstdint>

// Node kinds.
inline constexpr std::uint32_t CFG_ROOT = 16;
inline constexpr std::uint32_t CFG_FILEINFO = 17;
inline constexpr std::uint32_t CFG_MODULE = 32;
inline constexpr std::uint32_t CFG_ENUM = 33;
inline constexpr std::uint32_t CFG_PROCESS = 34;
inline constexpr std::uint32_t CFG_TASK = 35;
inline constexpr std::uint32_t CFG_FUNCTION = 36;
inline constexpr std::uint32_t CFG_ASSIGN = 37;
inline constexpr std::uint32_t CFG_INSTANCE = 38;
inline constexpr std::uint32_t CFG_TESTBENCH = 39;
inline constexpr std::uint32_t CFG_DEFPARAM = 40;
inline constexpr std::uint32_t CFG_DEFINE = 41;
inline constexpr std::uint32_t CFG_DECLARE_DEF = 42;
inline constexpr std::uint32_t CFG_STRUCT_DEF = 43;
inline constexpr std::uint32_t CFG_TYPEDEF_DEF = 44;
inline constexpr std::uint32_t CFG_STRUCT = 45;
inline constexpr std::uint32_t CFG_TYPEDEF = 46;
inline constexpr std::uint32_t CFG_DECLARE = 47;
inline constexpr std::uint32_t CFG_MEMBER_LIST = 48;
inline constexpr std::uint32_t CFG_MEMBER = 49;
inline constexpr std::uint32_t CFG_EVENT = 50;
inline constexpr std::uint32_t CFG_PROTO_FUNC = 51;
inline constexpr std::uint32_t CFG_STATE_CLOCK = 256;
inline constexpr std::uint32_t CFG_INITIAL_BEGIN = 257;
inline constexpr std::uint32_t CFG_INITIAL_END = 258;
inline constexpr std::uint32_t CFG_INITIAL = 259;
inline constexpr std::uint32_t CFG_TIMESCALE = 260;
inline constexpr std::uint32_t CFG_DELAY = 261;
inline constexpr std::uint32_t CFG_STATE_BEGIN = 262;
inline constexpr std::uint32_t CFG_STATE_END = 263;
inline constexpr std::uint32_t CFG_STATE_DATAPATH = 264;
inline constexpr std::uint32_t CFG_STATE_IF = 265;
inline constexpr std::uint32_t CFG_IF_THEN = 266;
inline constexpr std::uint32_t CFG_IF_ELSE = 267;
inline constexpr std::uint32_t CFG_STATE_ENDIF = 268;
inline constexpr std::uint32_t CFG_STATE_CASE = 269;
inline constexpr std::uint32_t CFG_STATE_CASEX = 270;
inline constexpr std::uint32_t CFG_STATE_CASEZ = 271;
inline constexpr std::uint32_t CFG_CASE_ITEM = 272;
inline constexpr std::uint32_t CFG_STATE_ENDCASE = 273;
inline constexpr std::uint32_t CFG_COND_JOIN = 274;
inline constexpr std::uint32_t CFG_INTERLINK = 275;
inline constexpr std::uint32_t CFG_PLACEHOLDER = 276;
inline constexpr std::uint32_t CFG_PAR_BEGIN = 277;
inline constexpr std::uint32_t CFG_PAR_END = 278;
inline constexpr std::uint32_t CFG_LOOP_BEGIN = 279;
inline constexpr std::uint32_t CFG_LOOP_END = 280;
inline constexpr std::uint32_t CFG_LOOP_INIT = 281;
inline constexpr std::uint32_t CFG_LOOP_COND = 282;
inline constexpr std::uint32_t CFG_LOOP_STAT = 283;
inline constexpr std::uint32_t CFG_LOOP_STEP = 284;
inline constexpr std::uint32_t CFG_STATE_LABEL = 285;
inline constexpr std::uint32_t CFG_DISABLE = 286;
inline constexpr std::uint32_t CFG_GOTO = 287;
inline constexpr std::uint32_t CFG_RETURN = 288;
inline constexpr std::uint32_t CFG_BREAK = 289;
inline constexpr std::uint32_t CFG_CONTINUE = 290;
inline constexpr std::uint32_t DFG_MANAGE_OPERATION = 304;
inline constexpr std::uint32_t DFG_OPERATION = 305;
inline constexpr std::uint32_t DFG_EDGE_BLOCKING = 320;
inline constexpr std::uint32_t DFG_EDGE_NONBLOCKING = 321;
inline constexpr std::uint32_t DFG_EDGE_PRESEDENCE = 322;
inline constexpr std::uint32_t DFG_INPUT_PORT = 336;
inline constexpr std::uint32_t DFG_INPUT_REG = 337;
inline constexpr std::uint32_t DFG_INPUT_WIRE = 338;
inline constexpr std::uint32_t DFG_INPUT_SUB = 339;
inline constexpr std::uint32_t DFG_INPUT_MEM = 340;
inline constexpr std::uint32_t DFG_INPUT_PARA = 341;
inline constexpr std::uint32_t DFG_INPUT_VAR = 342;
inline constexpr std::uint32_t DFG_INPUT_CONCAT = 343;
inline constexpr std::uint32_t DFG_INPUT_CONST = 344;
inline constexpr std::uint32_t DFG_INPUT_STRING = 345;
inline constexpr std::uint32_t DFG_OUTPUT_PORT = 352;
inline constexpr std::uint32_t DFG_OUTPUT_REG = 353;
inline constexpr std::uint32_t DFG_OUTPUT_WIRE = 354;
inline constexpr std::uint32_t DFG_OUTPUT_SUB = 355;
inline constexpr std::uint32_t DFG_OUTPUT_MEM = 356;
inline constexpr std::uint32_t DFG_OUTPUT_VAR = 357;
inline constexpr std::uint32_t DFG_OUTPUT_CONCAT = 358;
inline constexpr std::uint32_t DFG_FUNC_CALL = 368;
inline constexpr std::uint32_t DFG_TASK_CALL = 369;
inline constexpr std::uint32_t DFG_SIZEOF = 370;
inline constexpr std::uint32_t DFG_SPEC = 371;
inline constexpr std::uint32_t DFG_POSTFIX = 372;
inline constexpr std::uint32_t DFG_DIMENSION = 373;
inline constexpr std::uint32_t DFG_PORT_INFO = 374;
inline constexpr std::uint32_t DFG_PORT_LIST = 375;
inline constexpr std::uint32_t INFO_DIRECTIVE = 376;
inline constexpr std::uint32_t CFG_COMMENT = 377;
inline constexpr std::uint32_t NODE_END = 378;

// Attribute identifiers, per node kind.
// CFG_ROOT
inline constexpr std::uint32_t CfgRoot_ELEMENT = 1;
inline constexpr std::uint32_t CfgRoot_LANG = 2;
inline constexpr std::uint32_t CfgRoot_ENVIRON = 3;
inline constexpr std::uint32_t CfgRoot_END = 4;
// CFG_FILEINFO
inline constexpr std::uint32_t CfgFileinfo_ELEMENT = 1;
inline constexpr std::uint32_t CfgFileinfo_NAME = 2;
inline constexpr std::uint32_t CfgFileinfo_END = 3;
// CFG_MODULE
inline constexpr std::uint32_t CfgModule_ELEMENT = 1;
inline constexpr std::uint32_t CfgModule_PORTLIST = 2;
inline constexpr std::uint32_t CfgModule_DECLARE = 3;
inline constexpr std::uint32_t CfgModule_NAME = 4;
inline constexpr std::uint32_t CfgModule_TYPE = 5;
inline constexpr std::uint32_t CfgModule_INFOINSTANCE = 6;
inline constexpr std::uint32_t CfgModule_INST_DECLARE = 7;
inline constexpr std::uint32_t CfgModule_FUNC_DECLARE = 8;
inline constexpr std::uint32_t CfgModule_DIRECTIVE = 9;
inline constexpr std::uint32_t CfgModule_END = 10;
// CFG_ENUM
inline constexpr std::uint32_t CfgEnum_PARAMETER = 1;
inline constexpr std::uint32_t CfgEnum_NAME = 2;
inline constexpr std::uint32_t CfgEnum_TAG = 3;
inline constexpr std::uint32_t CfgEnum_TYPEDEF = 4;
inline constexpr std::uint32_t CfgEnum_END = 5;
// CFG_PROCESS
inline constexpr std::uint32_t CfgProc_STARTCDFG = 1;
inline constexpr std::uint32_t CfgProc_DECLARE = 2;
inline constexpr std::uint32_t CfgProc_NAME = 3;
inline constexpr std::uint32_t CfgProc_DIVNO = 4;
inline constexpr std::uint32_t CfgProc_TYPE = 5;
inline constexpr std::uint32_t CfgProc_EVENT = 6;
inline constexpr std::uint32_t CfgProc_EVENTDELAY = 7;
inline constexpr std::uint32_t CfgProc_PARENTGROUP = 8;
inline constexpr std::uint32_t CfgProc_CHILDGROUP = 9;
inline constexpr std::uint32_t CfgProc_INPUTDECL = 10;
inline constexpr std::uint32_t CfgProc_OUTPUTDECL = 11;
inline constexpr std::uint32_t CfgProc_INFORESET = 12;
inline constexpr std::uint32_t CfgProc_INFOEVENT = 13;
inline constexpr std::uint32_t CfgProc_MODEL = 14;
inline constexpr std::uint32_t CfgProc_INFOSYNC = 15;
inline constexpr std::uint32_t CfgProc_END = 16;
// CFG_TASK
inline constexpr std::uint32_t CfgTask_STARTCFG = 1;
inline constexpr std::uint32_t CfgTask_ARGLIST = 2;
inline constexpr std::uint32_t CfgTask_DECLARE = 3;
inline constexpr std::uint32_t CfgTask_NAME = 4;
inline constexpr std::uint32_t CfgTask_CLOCKCNT = 5;
inline constexpr std::uint32_t CfgTask_INFOMAP = 6;
inline constexpr std::uint32_t CfgTask_DELAY = 7;
inline constexpr std::uint32_t CfgTask_DIRECTIVE = 8;
inline constexpr std::uint32_t CfgTask_END = 9;
// CFG_FUNCTION, CFG_PROTO_FUNC
inline constexpr std::uint32_t CfgFunc_STARTCFG = 1;
inline constexpr std::uint32_t CfgFunc_ARGLIST = 2;
inline constexpr std::uint32_t CfgFunc_DECLARE = 3;
inline constexpr std::uint32_t CfgFunc_NAME = 4;
inline constexpr std::uint32_t CfgFunc_CLASS = 5;
inline constexpr std::uint32_t CfgFunc_SIGNED = 6;
inline constexpr std::uint32_t CfgFunc_RETTYPE = 7;
inline constexpr std::uint32_t CfgFunc_RETDECL = 8;
inline constexpr std::uint32_t CfgFunc_POINTERCNT = 9;
inline constexpr std::uint32_t CfgFunc_MSB = 10;
inline constexpr std::uint32_t CfgFunc_LSB = 11;
inline constexpr std::uint32_t CfgFunc_INFOMAP = 12;
inline constexpr std::uint32_t CfgFunc_DELAY = 13;
inline constexpr std::uint32_t CfgFunc_DIRECTIVE = 14;
inline constexpr std::uint32_t CfgFunc_QUALITI = 15;
inline constexpr std::uint32_t CfgFunc_TYPEDEFLINK = 16;
inline constexpr std::uint32_t CfgFunc_TYPESTR = 17;
inline constexpr std::uint32_t CfgFunc_END = 18;
// CFG_ASSIGN
inline constexpr std::uint32_t CfgAssign_ELEMENT = 1;
inline constexpr std::uint32_t CfgAssign_END = 2;
// CFG_INSTANCE
inline constexpr std::uint32_t CfgInstance_NAME = 1;
inline constexpr std::uint32_t CfgInstance_CELLNAME = 2;
inline constexpr std::uint32_t CfgInstance_CELL = 3;
inline constexpr std::uint32_t CfgInstance_ARGLIST = 4;
inline constexpr std::uint32_t CfgInstance_DELAY = 5;
inline constexpr std::uint32_t CfgInstance_DIRECTIVE = 6;
inline constexpr std::uint32_t CfgInstance_END = 7;
// CFG_TESTBENCH
inline constexpr std::uint32_t CfgTestbench_TIMESCALE = 1;
inline constexpr std::uint32_t CfgTestbench_ELEMENT = 2;
inline constexpr std::uint32_t CfgTestbech_END = 3;
// CFG_DEFPARAM
inline constexpr std::uint32_t CfgDefparam_NAME = 1;
inline constexpr std::uint32_t CfgDefparam_PARADECL = 2;
inline constexpr std::uint32_t CfgDefparam_DATA = 3;
inline constexpr std::uint32_t CfgDefparam_PARANAME = 4;
inline constexpr std::uint32_t CfgDefparam_END = 5;
// CFG_DECLARE_DEF
inline constexpr std::uint32_t CfgDeclDef_DECL = 1;
inline constexpr std::uint32_t CfgDeclDef_END = 2;
// CFG_STRUCT_DEF
inline constexpr std::uint32_t CfgStructDef_STRUCT = 1;
inline constexpr std::uint32_t CfgStructDef_END = 2;
// CFG_TYPEDEF_DEF
inline constexpr std::uint32_t CfgTypedefDef_TDEF = 1;
inline constexpr std::uint32_t CfgTypedefDef_END = 2;
// CFG_STRUCT
inline constexpr std::uint32_t CfgStruct_TAGNAME = 1;
inline constexpr std::uint32_t CfgStruct_MEMBER = 2;
inline constexpr std::uint32_t CfgStruct_UNION = 3;
inline constexpr std::uint32_t CfgStruct_END = 4;
// CFG_TYPEDEF
inline constexpr std::uint32_t CfgTDef_NAME = 1;
inline constexpr std::uint32_t CfgTDef_SIGNED = 2;
inline constexpr std::uint32_t CfgTDef_POINTERCNT = 3;
inline constexpr std::uint32_t CfgTDef_CLASS = 4;
inline constexpr std::uint32_t CfgTDef_VALTYPE = 5;
inline constexpr std::uint32_t CfgTDef_STRUCTNODE = 6;
inline constexpr std::uint32_t CfgTDef_END = 7;
// CFG_DECLARE
inline constexpr std::uint32_t CfgDecl_KIND = 1;
inline constexpr std::uint32_t CfgDecl_STATE = 2;
inline constexpr std::uint32_t CfgDecl_NAME = 3;
inline constexpr std::uint32_t CfgDecl_FIRSTUSE = 4;
inline constexpr std::uint32_t CfgDecl_LASTUSE = 5;
inline constexpr std::uint32_t CfgDecl_SIGNED = 6;
inline constexpr std::uint32_t CfgDecl_VALUE = 7;
inline constexpr std::uint32_t CfgDecl_BITMSB = 8;
inline constexpr std::uint32_t CfgDecl_BITLSB = 9;
inline constexpr std::uint32_t CfgDecl_DIMMSB = 10;
inline constexpr std::uint32_t CfgDecl_DIMLSB = 11;
inline constexpr std::uint32_t CfgDecl_ATTR = 12;
inline constexpr std::uint32_t CfgDecl_POINTERCNT = 13;
inline constexpr std::uint32_t CfgDecl_DIMCNT = 14;
inline constexpr std::uint32_t CfgDecl_DIMNODE = 15;
inline constexpr std::uint32_t CfgDecl_QUALITI = 16;
inline constexpr std::uint32_t CfgDecl_CLASS = 17;
inline constexpr std::uint32_t CfgDecl_VALTYPE = 18;
inline constexpr std::uint32_t CfgDecl_STRUCTNODE = 19;
inline constexpr std::uint32_t CfgDecl_STRUCTORGNODE = 20;
inline constexpr std::uint32_t CfgDecl_STRUCTMEMBER = 21;
inline constexpr std::uint32_t CfgDecl_INIT = 22;
inline constexpr std::uint32_t CfgDecl_DIRECTIVE = 23;
inline constexpr std::uint32_t CfgDecl_EXTFLAG = 24;
inline constexpr std::uint32_t CfgDecl_BITMSBNODE = 25;
inline constexpr std::uint32_t CfgDecl_BITLSBNODE = 26;
inline constexpr std::uint32_t CfgDecl_SPEC = 27;
inline constexpr std::uint32_t CfgDecl_ARGLIST = 28;
inline constexpr std::uint32_t CfgDecl_BITEXP = 29;
inline constexpr std::uint32_t CfgDecl_TYPEDEFLINK = 30;
inline constexpr std::uint32_t CfgDecl_TYPESTR = 31;
inline constexpr std::uint32_t CfgDecl_END = 32;
// CFG_MEMBER_LIST
inline constexpr std::uint32_t CfgMemberList_MEMBER = 1;
inline constexpr std::uint32_t CfgMemberList_END = 2;
// CFG_MEMBER
inline constexpr std::uint32_t CfgMember_SIGNAL = 1;
inline constexpr std::uint32_t CfgMember_END = 2;
// CFG_EVENT
inline constexpr std::uint32_t CfgEvent_EDGE = 1;
inline constexpr std::uint32_t CfgEvent_SIGNAL = 2;
inline constexpr std::uint32_t CfgEvent_END = 3;
// CFG_STATE_CLOCK
inline constexpr std::uint32_t CfgClock_STEPNUM = 1;
inline constexpr std::uint32_t CfgClock_EVENT = 2;
inline constexpr std::uint32_t CfgClock_RESETCFG = 3;
inline constexpr std::uint32_t CfgClock_END = 4;
// CFG_INITIAL_BEGIN
inline constexpr std::uint32_t CfgInitBegin_LABEL = 0;
inline constexpr std::uint32_t CfgInitBegin_END = 1;
// CFG_INITIAL
inline constexpr std::uint32_t CfgInitial_STARTCFG = 0;
inline constexpr std::uint32_t CfgInitial_END = 1;
// CFG_TIMESCALE
inline constexpr std::uint32_t CfgTimescale_UNIT = 1;
inline constexpr std::uint32_t CfgTimescale_PREVESION = 2;
inline constexpr std::uint32_t CfgTimescale_END = 3;
// CFG_DELAY
inline constexpr std::uint32_t CfgDelay_UPMIN = 0;
inline constexpr std::uint32_t CfgDelay_UPTYP = 1;
inline constexpr std::uint32_t CfgDelay_UPMAX = 2;
inline constexpr std::uint32_t CfgDelay_DOWNMIN = 3;
inline constexpr std::uint32_t CfgDelay_DOWNTYP = 4;
inline constexpr std::uint32_t CfgDelay_DOWNMAX = 5;
inline constexpr std::uint32_t CfgDelay_TOFFMIN = 6;
inline constexpr std::uint32_t CfgDelay_TOFFTYP = 7;
inline constexpr std::uint32_t CfgDelay_TOFFMAX = 8;
inline constexpr std::uint32_t CfgDelay_END = 9;
// CFG_STATE_BEGIN
inline constexpr std::uint32_t CfgStateBegin_STEPNUM = 1;
inline constexpr std::uint32_t CfgStateBegin_TYPE = 2;
inline constexpr std::uint32_t CfgStateBegin_LABEL = 3;
inline constexpr std::uint32_t CfgStateBegin_DIRECTIVE = 4;
inline constexpr std::uint32_t CfgStateBegin_INFOPAR = 5;
inline constexpr std::uint32_t CfgStateBegin_END = 6;
// CFG_STATE_DATAPATH
inline constexpr std::uint32_t CfgDatapath_STEPNUM = 1;
inline constexpr std::uint32_t CfgDatapath_OPELIST = 2;
inline constexpr std::uint32_t CfgDatapath_END = 3;
// CFG_STATE_IF
inline constexpr std::uint32_t CfgStateIf_STEPNUM = 1;
inline constexpr std::uint32_t CfgStateIf_CONDOPE = 2;
inline constexpr std::uint32_t CfgStateIf_EXP = 3;
inline constexpr std::uint32_t CfgStateIf_STATOPE = 4;
inline constexpr std::uint32_t CfgStateIf_LABEL = 5;
inline constexpr std::uint32_t CfgStateIf_DIRECTIVE = 6;
inline constexpr std::uint32_t CfgStateIf_END = 7;
// CFG_IF_THEN
inline constexpr std::uint32_t CfgIfThen_STEPNUM = 1;
inline constexpr std::uint32_t CfgIfThen_CFG = 2;
inline constexpr std::uint32_t CfgIfThen_END = 3;
// CFG_IF_ELSE
inline constexpr std::uint32_t CfgIfElse_STEPNUM = 1;
inline constexpr std::uint32_t CfgIfElse_CFG = 2;
inline constexpr std::uint32_t CfgIfElse_END = 3;
// CFG_STATE_ENDIF
inline constexpr std::uint32_t CfgStateEndif_STEPNUM = 1;
inline constexpr std::uint32_t CfgStateEndif_END = 2;
// CFG_STATE_CASE, CFG_STATE_CASEX, CFG_STATE_CASEZ
inline constexpr std::uint32_t CfgStateCase_STEPNUM = 1;
inline constexpr std::uint32_t CfgStateCase_CONDOPE = 2;
inline constexpr std::uint32_t CfgStateCase_EXP = 3;
inline constexpr std::uint32_t CfgStateCase_STATOPE = 4;
inline constexpr std::uint32_t CfgStateCase_LABEL = 5;
inline constexpr std::uint32_t CfgStateCase_STYLE = 6;
inline constexpr std::uint32_t CfgStateCase_DIRECTIVE = 7;
inline constexpr std::uint32_t CfgStateCase_END = 8;
// CFG_CASE_ITEM
inline constexpr std::uint32_t CfgCaseItem_STEPNUM = 1;
inline constexpr std::uint32_t CfgCaseItem_EXP = 2;
inline constexpr std::uint32_t CfgCaseItem_CFG = 3;
inline constexpr std::uint32_t CfgCaseItem_END = 4;
// CFG_STATE_ENDCASE
inline constexpr std::uint32_t CfgStateEndCase_STEPNUM = 1;
inline constexpr std::uint32_t CfgStateEndCase_END = 2;
// CFG_PAR_BEGIN
inline constexpr std::uint32_t CfgPar_STEPNUM = 1;
inline constexpr std::uint32_t CfgPar_LABEL = 2;
inline constexpr std::uint32_t CfgPar_THROUGHPUT = 3;
inline constexpr std::uint32_t CfgPar_END = 4;
// CFG_LOOP_BEGIN
inline constexpr std::uint32_t CfgLoopBegin_STEPNUM = 1;
inline constexpr std::uint32_t CfgLoopBegin_CFG = 2;
inline constexpr std::uint32_t CfgLoopBegin_LOOPKIND = 3;
inline constexpr std::uint32_t CfgLoopBegin_LOOPTYPE = 4;
inline constexpr std::uint32_t CfgLoopBegin_LABEL = 5;
inline constexpr std::uint32_t CfgLoopBegin_DIRECTIVE = 6;
inline constexpr std::uint32_t CfgLoopBegin_LOOPCNT = 7;
inline constexpr std::uint32_t CfgLoopBegin_INITVALUE = 8;
inline constexpr std::uint32_t CfgLoopBegin_LASTVALUE = 9;
inline constexpr std::uint32_t CfgLoopBegin_STEPVALUE = 10;
inline constexpr std::uint32_t CfgLoopBegin_LOOPIDENT = 11;
inline constexpr std::uint32_t CfgLoopBegin_STEPOPE = 12;
inline constexpr std::uint32_t CfgLoopBegin_END = 13;
// CFG_LOOP_INIT
inline constexpr std::uint32_t CfgLoopInit_STEPNUM = 1;
inline constexpr std::uint32_t CfgLoopInit_OPELIST = 2;
inline constexpr std::uint32_t CfgLoopInit_END = 3;
// CFG_LOOP_COND
inline constexpr std::uint32_t CfgLoopCond_STEPNUM = 1;
inline constexpr std::uint32_t CfgLoopCond_CONDOPE = 2;
inline constexpr std::uint32_t CfgLoopCond_EXP = 3;
inline constexpr std::uint32_t CfgLoopCond_END = 4;
// CFG_LOOP_STAT
inline constexpr std::uint32_t CfgLoopStat_STEPNUM = 1;
inline constexpr std::uint32_t CfgLoopStat_CFG = 2;
inline constexpr std::uint32_t CfgLoopStat_END = 3;
// CFG_LOOP_STEP
inline constexpr std::uint32_t CfgLoopStep_STEPNUM = 1;
inline constexpr std::uint32_t CfgLoopStep_OPELIST = 2;
inline constexpr std::uint32_t CfgLoopStep_END = 3;
// CFG_STATE_LABEL
inline constexpr std::uint32_t CfgStateLabel_STEPNUM = 1;
inline constexpr std::uint32_t CfgStateLabel_NAME = 2;
inline constexpr std::uint32_t CfgStateLabel_END = 3;
// CFG_DISABLE
inline constexpr std::uint32_t CfgDisable_STEPNUM = 1;
inline constexpr std::uint32_t CfgDisable_LABEL = 2;
inline constexpr std::uint32_t CfgDisable_RESETTYPE = 3;
inline constexpr std::uint32_t CfgDisable_RESETNAME = 4;
inline constexpr std::uint32_t CfgDisable_VALUE = 5;
inline constexpr std::uint32_t CfgDisable_END = 6;
// CFG_GOTO
inline constexpr std::uint32_t CfgGoto_STEPNUM = 1;
inline constexpr std::uint32_t CfgGoto_LABEL = 2;
inline constexpr std::uint32_t CfgGoto_END = 3;
// CFG_RETURN
inline constexpr std::uint32_t CfgReturn_STEPNUM = 1;
inline constexpr std::uint32_t CfgReturn_EXP = 2;
inline constexpr std::uint32_t CfgReturn_END = 3;
// DFG_MANAGE_OPERATION
inline constexpr std::uint32_t DfgOpeman_OPE = 1;
inline constexpr std::uint32_t DfgOpeman_ORGOPE = 2;
inline constexpr std::uint32_t DfgOpeman_END = 4;
// DFG_OPERATION
inline constexpr std::uint32_t DfgOpe_TYPE = 1;
inline constexpr std::uint32_t DfgOpe_LEFT = 2;
inline constexpr std::uint32_t DfgOpe_RIGHT = 3;
inline constexpr std::uint32_t DfgOpe_COND = 4;
inline constexpr std::uint32_t DfgOpe_DIRECTIVE = 5;
inline constexpr std::uint32_t DfgOpe_LOGICDELAY = 6;
inline constexpr std::uint32_t DfgOpe_INSTANCE = 7;
inline constexpr std::uint32_t DfgOpe_INFOMAP = 8;
inline constexpr std::uint32_t DfgOpe_MODIFYINFOMAP = 9;
inline constexpr std::uint32_t DfgOpe_OPEFUNC = 10;
inline constexpr std::uint32_t DfgOpe_NAME = 11;
inline constexpr std::uint32_t DfgOpe_POINNUM = 12;
inline constexpr std::uint32_t DfgOpe_ADDRNUM = 13;
inline constexpr std::uint32_t DfgOpe_END = 14;
// DFG_EDGE_BLOCKING, DFG_EDGE_NONBLOCKING, DFG_EDGE_PRESEDENCE
inline constexpr std::uint32_t DfgEdge_MSB = 1;
inline constexpr std::uint32_t DfgEdge_LSB = 2;
inline constexpr std::uint32_t DfgEdge_INSTANCE = 3;
inline constexpr std::uint32_t DfgEdge_INFOMAP = 4;
inline constexpr std::uint32_t DfgEdge_MODIFYINFOMAP = 5;
inline constexpr std::uint32_t DfgEdge_INFOTASK = 6;
inline constexpr std::uint32_t DfgEdge_DIRECTIVE = 7;
inline constexpr std::uint32_t DfgEdge_END = 8;
// DFG_INPUT_PORT, DFG_INPUT_REG, DFG_INPUT_WIRE, DFG_INPUT_SUB, DFG_INPUT_MEM, DFG_INPUT_PARA, DFG_INPUT_VAR, DFG_OUTPUT_PORT, DFG_OUTPUT_REG, DFG_OUTPUT_WIRE, DFG_OUTPUT_SUB, DFG_OUTPUT_MEM, DFG_OUTPUT_VAR
inline constexpr std::uint32_t DfgPort_NAME = 1;
inline constexpr std::uint32_t DfgPort_DECL = 2;
inline constexpr std::uint32_t DfgPort_BEFOR = 3;
inline constexpr std::uint32_t DfgPort_PREV = 4;
inline constexpr std::uint32_t DfgPort_NEXT = 5;
inline constexpr std::uint32_t DfgPort_DELAY = 6;
inline constexpr std::uint32_t DfgPort_MSB1 = 7;
inline constexpr std::uint32_t DfgPort_LSB1 = 8;
inline constexpr std::uint32_t DfgPort_MSB2 = 9;
inline constexpr std::uint32_t DfgPort_LSB2 = 10;
inline constexpr std::uint32_t DfgPort_CONCATCNT = 11;
inline constexpr std::uint32_t DfgPort_DIMCNT = 12;
inline constexpr std::uint32_t DfgPort_DIMNODE = 13;
inline constexpr std::uint32_t DfgPort_POINTERCNT = 14;
inline constexpr std::uint32_t DfgPort_ADDRFLG = 15;
inline constexpr std::uint32_t DfgPort_CASTSIGNED = 16;
inline constexpr std::uint32_t DfgPort_CASTVAL = 17;
inline constexpr std::uint32_t DfgPort_CASTPOINTCNT = 18;
inline constexpr std::uint32_t DfgPort_STRSON = 19;
inline constexpr std::uint32_t DfgPort_STRPARENT = 20;
inline constexpr std::uint32_t DfgPort_END = 21;
// DFG_INPUT_CONCAT, DFG_OUTPUT_CONCAT
inline constexpr std::uint32_t DfgConcat_BITWIDTH = 1;
inline constexpr std::uint32_t DfgConcat_CONCATPORT = 2;
inline constexpr std::uint32_t DfgConcat_END = 3;
// DFG_INPUT_CONST
inline constexpr std::uint32_t DfgInputCnst_STRVALUE = 1;
inline constexpr std::uint32_t DfgInputCnst_INTVALUE = 2;
inline constexpr std::uint32_t DfgInputCnst_BASE = 3;
inline constexpr std::uint32_t DfgInputCnst_WIDTH = 4;
inline constexpr std::uint32_t DfgInputCnst_CONCATCNT = 5;
inline constexpr std::uint32_t DfgInputCnst_CASTSIGNED = 6;
inline constexpr std::uint32_t DfgInputCnst_CASTVAL = 7;
inline constexpr std::uint32_t DfgInputCnst_CASTPOINTCNT = 8;
inline constexpr std::uint32_t DfgInputCnst_XZ = 9;
inline constexpr std::uint32_t DfgInputCnst_DELAY = 10;
inline constexpr std::uint32_t DfgInputCnst_END = 11;
// DFG_INPUT_STRING
inline constexpr std::uint32_t DfgInputStr_STRING = 1;
inline constexpr std::uint32_t DfgInputStr_END = 2;
// DFG_FUNC_CALL
inline constexpr std::uint32_t DfgFuncCall_NAME = 1;
inline constexpr std::uint32_t DfgFuncCall_ARGLIST = 2;
inline constexpr std::uint32_t DfgFuncCall_INST = 3;
inline constexpr std::uint32_t DfgFuncCall_MSB = 4;
inline constexpr std::uint32_t DfgFuncCall_LSB = 5;
inline constexpr std::uint32_t DfgFuncCall_DIRECTIVE = 7;
inline constexpr std::uint32_t DfgFuncCall_TYPE = 8;
inline constexpr std::uint32_t DfgFuncCall_FMT = 9;
inline constexpr std::uint32_t DfgFuncCall_POINCNT = 10;
inline constexpr std::uint32_t DfgFuncCall_SPEC = 11;
inline constexpr std::uint32_t DfgFuncCall_DIMCNT = 12;
inline constexpr std::uint32_t DfgFuncCall_DIMNODE = 13;
inline constexpr std::uint32_t DfgFuncCall_STRSONTYPE = 14;
inline constexpr std::uint32_t DfgFuncCall_STRSON = 15;
inline constexpr std::uint32_t DfgFuncCall_FUNC_SIGNED = 16;
inline constexpr std::uint32_t DfgFuncCall_FUNC_RETTYPE = 17;
inline constexpr std::uint32_t DfgFuncCall_FUNC_POINTERCNT = 18;
inline constexpr std::uint32_t DfgFuncCall_FUNC_RETDECL = 19;
inline constexpr std::uint32_t DfgFuncCall_FUNC_TYPEDEFLINK = 20;
inline constexpr std::uint32_t DfgFuncCall_END = 21;
// DFG_TASK_CALL
inline constexpr std::uint32_t DfgTaskCall_NAME = 1;
inline constexpr std::uint32_t DfgTaskCall_ARGLIST = 2;
inline constexpr std::uint32_t DfgTaskCall_DELAY = 3;
inline constexpr std::uint32_t DfgTaskCall_INST = 4;
inline constexpr std::uint32_t DfgTaskCall_DIRECTIVE = 5;
inline constexpr std::uint32_t DfgTaskCall_FMT = 6;
inline constexpr std::uint32_t DfgTaskCall_END = 7;
// DFG_SIZEOF
inline constexpr std::uint32_t DfgSizeof_OPE = 1;
inline constexpr std::uint32_t DfgSizeof_END = 2;
// DFG_SPEC
inline constexpr std::uint32_t DfgSpec_QUALITI = 1;
inline constexpr std::uint32_t DfgSpec_CLASS = 2;
inline constexpr std::uint32_t DfgSpec_SIGNED = 3;
inline constexpr std::uint32_t DfgSpec_VALTYPE = 4;
inline constexpr std::uint32_t DfgSpec_POINTERCNT = 5;
inline constexpr std::uint32_t DfgSpec_DIMCNT = 6;
inline constexpr std::uint32_t DfgSpec_DIMNODE = 7;
inline constexpr std::uint32_t DfgSpec_STRUCTNODE = 8;
inline constexpr std::uint32_t DfgSpec_TYPEDEFLINK = 9;
inline constexpr std::uint32_t DfgSpec_TYPESTR = 10;
inline constexpr std::uint32_t DfgSpec_END = 11;
// DFG_POSTFIX
inline constexpr std::uint32_t DfgPostfix_POINTERCNT = 1;
inline constexpr std::uint32_t DfgPostfix_ADRCNT = 2;
inline constexpr std::uint32_t DfgPostfix_EXP = 3;
inline constexpr std::uint32_t DfgPostfix_DIMCNT = 4;
inline constexpr std::uint32_t DfgPostfix_DIMNODE = 5;
inline constexpr std::uint32_t DfgPostfix_STRFLG = 6;
inline constexpr std::uint32_t DfgPostfix_STRSON = 7;
inline constexpr std::uint32_t DfgPostfix_STRPARENT = 8;
inline constexpr std::uint32_t DfgPostfix_END = 9;
// DFG_DIMENSION
inline constexpr std::uint32_t DfgDim_CNT = 1;
inline constexpr std::uint32_t DfgDim_NODE = 2;
inline constexpr std::uint32_t DfgDim_MSB = 3;
inline constexpr std::uint32_t DfgDim_LSB = 4;
inline constexpr std::uint32_t DfgDim_END = 5;
// DFG_PORT_INFO
inline constexpr std::uint32_t DfgPortInfo_NAME = 1;
inline constexpr std::uint32_t DfgPortInfo_ALIAS = 2;
inline constexpr std::uint32_t DfgPortInfo_SIGNAL = 3;
inline constexpr std::uint32_t DfgPortInfo_DELAY = 4;
inline constexpr std::uint32_t DfgPortInfo_END = 5;
// DFG_PORT_LIST
inline constexpr std::uint32_t DfgPortList_NAME = 1;
inline constexpr std::uint32_t DfgPortList_DECL = 2;
inline constexpr std::uint32_t DfgPortList_END = 3;
// INFO_DIRECTIVE
inline constexpr std::uint32_t DfgDirective_TYPE = 1;
inline constexpr std::uint32_t DfgDirective_STR = 2;
inline constexpr std::uint32_t DfgDirective_END = 3;
// CFG_COMMENT
inline constexpr std::uint32_t CfgComment_TYPE = 1;
inline constexpr std::uint32_t CfgComment_STR = 2;
inline constexpr std::uint32_t CfgComment_END = 3;

// Enumerated attribute values.
// CfgDecl_KIND of CFG_DECLARE
inline constexpr std::int32_t DECL_PARAMETER = 1;
inline constexpr std::int32_t DECL_INPUT = 2;
inline constexpr std::int32_t DECL_OUTPUT = 3;
inline constexpr std::int32_t DECL_INOUT = 4;
inline constexpr std::int32_t DECL_TIME = 5;
inline constexpr std::int32_t DECL_INTEGER = 6;
inline constexpr std::int32_t DECL_REAL = 7;
inline constexpr std::int32_t DECL_EVENT = 8;
inline constexpr std::int32_t DECL_REG = 16;
inline constexpr std::int32_t DECL_SREG = 17;
inline constexpr std::int32_t DECL_WIRE = 32;
inline constexpr std::int32_t DECL_SUPPLY0 = 33;
inline constexpr std::int32_t DECL_SUPPLY1 = 34;
inline constexpr std::int32_t DECL_TASK = 64;
inline constexpr std::int32_t DECL_FUNCTION = 128;
inline constexpr std::int32_t DECL_ARG = 256;
inline constexpr std::int32_t DECL_VAR = 257;
// CfgDecl_SIGNED of CFG_DECLARE
inline constexpr std::int32_t DECL_SIGNED_NONE = 0;
inline constexpr std::int32_t DECL_SIGNED = 1;
inline constexpr std::int32_t DECL_UNSIGNED = 2;
// CfgDecl_VALTYPE of CFG_DECLARE and CfgFunc_RETTYPE of CFG_FUNCTION
inline constexpr std::int32_t DECL_VALTYPE_NONE = 0;
inline constexpr std::int32_t DECL_VALTYPE_VOID = 1;
inline constexpr std::int32_t DECL_VALTYPE_CHAR = 2;
inline constexpr std::int32_t DECL_VALTYPE_INT = 4;
inline constexpr std::int32_t DECL_VALTYPE_LONG = 5;
inline constexpr std::int32_t DECL_VALTYPE_LONGLONG = 6;
inline constexpr std::int32_t DECL_VALTYPE_BOOL = 7;
inline constexpr std::int32_t DECL_VALTYPE_FLOAT = 8;
inline constexpr std::int32_t DECL_VALTYPE_DOUBLE = 9;
inline constexpr std::int32_t DECL_VALTYPE_STRUCT = 10;
inline constexpr std::int32_t DECL_VALTYPE_SHORT = 3;
inline constexpr std::int32_t DECL_VALTYPE_LONGDOUBLE = 11;
// CfgLoopBegin_LOOPTYPE of CFG_LOOP_BEGIN
inline constexpr std::int32_t LOOP_NONE = 0;
inline constexpr std::int32_t LOOP_ALWAYS = 1;
inline constexpr std::int32_t LOOP_FOREVER = 2;
inline constexpr std::int32_t LOOP_WHILE = 3;
inline constexpr std::int32_t LOOP_DOWHILE = 4;
inline constexpr std::int32_t LOOP_FOR = 5;
inline constexpr std::int32_t LOOP_REPEAT = 6;
inline constexpr std::int32_t LOOP_WAIT = 7;
// DfgOpe_TYPE of DFG_OPERATION (the operator), 53 values
inline constexpr std::int32_t CALC_Plus = 1;
inline constexpr std::int32_t CALC_Minus = 2;
inline constexpr std::int32_t CALC_Not = 3;
inline constexpr std::int32_t CALC_BitNot = 4;
inline constexpr std::int32_t CALC_AndReduce = 5;
inline constexpr std::int32_t CALC_NandReduce = 6;
inline constexpr std::int32_t CALC_OrReduce = 7;
inline constexpr std::int32_t CALC_NorReduce = 8;
inline constexpr std::int32_t CALC_XorReduce = 9;
inline constexpr std::int32_t CALC_XnorReduce = 10;
inline constexpr std::int32_t CALC_Mul = 11;
inline constexpr std::int32_t CALC_Div = 12;
inline constexpr std::int32_t CALC_Mod = 13;
inline constexpr std::int32_t CALC_Add = 14;
inline constexpr std::int32_t CALC_Sub = 15;
inline constexpr std::int32_t CALC_RightShift = 16;
inline constexpr std::int32_t CALC_LeftShift = 17;
inline constexpr std::int32_t CALC_Les = 18;
inline constexpr std::int32_t CALC_LesEq = 19;
inline constexpr std::int32_t CALC_Gre = 20;
inline constexpr std::int32_t CALC_GreEq = 21;
inline constexpr std::int32_t CALC_Eq = 22;
inline constexpr std::int32_t CALC_NotEq = 23;
inline constexpr std::int32_t CALC_LogAnd = 24;
inline constexpr std::int32_t CALC_LogOr = 25;
inline constexpr std::int32_t CALC_And = 26;
inline constexpr std::int32_t CALC_Or = 27;
inline constexpr std::int32_t CALC_Xor = 28;
inline constexpr std::int32_t CALC_Xnor = 29;
inline constexpr std::int32_t CALC_LogCond = 30;
inline constexpr std::int32_t CALC_ExaEq = 31;
inline constexpr std::int32_t CALC_NotExaEq = 32;
inline constexpr std::int32_t CALC_Mintypmax = 33;
inline constexpr std::int32_t CALC_Multiple = 34;
inline constexpr std::int32_t CALC_Concat = 35;
inline constexpr std::int32_t CALC_FuncCall = 36;
inline constexpr std::int32_t CALC_SysCall = 37;
inline constexpr std::int32_t CALC_Event = 38;
inline constexpr std::int32_t CALC_CnstEnd = 39;
inline constexpr std::int32_t CALC_MulEqu = 50;
inline constexpr std::int32_t CALC_DivEqu = 51;
inline constexpr std::int32_t CALC_ModEqu = 52;
inline constexpr std::int32_t CALC_AddEqu = 53;
inline constexpr std::int32_t CALC_SubEqu = 54;
inline constexpr std::int32_t CALC_RShiftEqu = 55;
inline constexpr std::int32_t CALC_LShiftEqu = 56;
inline constexpr std::int32_t CALC_AndEqu = 57;
inline constexpr std::int32_t CALC_OrEqu = 58;
inline constexpr std::int32_t CALC_XorEqu = 59;
inline constexpr std::int32_t CALC_PInc = 60;
inline constexpr std::int32_t CALC_IncP = 61;
inline constexpr std::int32_t CALC_PDec = 62;
inline constexpr std::int32_t CALC_DeclP = 63;
// DfgDirective_TYPE of INFO_DIRECTIVE
inline constexpr std::int32_t DIRE_Extension = 54;
inline constexpr std::int32_t DIRE_Directive = 55;
inline constexpr std::int32_t DIRE_END = 56;

// Value kinds of attributes.
inline constexpr std::uint32_t ATTR_CHAR = 1;
inline constexpr std::uint32_t ATTR_INT = 2;
inline constexpr std::uint32_t ATTR_LONGLONG = 3;
inline constexpr std::uint32_t ATTR_FLOAT = 4;
inline constexpr std::uint32_t ATTR_STRING = 5;
inline constexpr std::uint32_t ATTR_NODE = 6;

// Name of a node kind code, or nullptr when the code is not a known kind.
const char* kindName(std::uint32_t kind);
// Code of a node kind name, 0 when unknown.
std::uint32_t kindCode(const char* name);
// Name of an attribute identifier of a node kind, or nullptr when unknown.
const char* attrName(std::uint32_t kind, std::uint32_t attrId);
// Identifier of an attribute name for a node kind, -1 when unknown.
std::int64_t attrCode(std::uint32_t kind, const char* name);
// Name of a value kind, or nullptr.
const char* valueKindName(std::uint32_t valueKind);
// Code of a value kind name, 0 when unknown.
std::uint32_t valueKindCode(const char* name);

