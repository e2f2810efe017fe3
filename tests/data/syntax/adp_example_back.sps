
COMPUTE spend_pred = (EXP(spend_t_pred)-1).
