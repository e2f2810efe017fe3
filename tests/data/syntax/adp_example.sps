
COMPUTE spend_t = LN(spend+1).
COMPUTE age_t = RND(age/10).
COMPUTE income_log = LN(income+1).
COMPUTE #tenure_days = (last_visit-signup_date)/time.days(1).
COMPUTE tenure_years = (#tenure_days/365.25).
COMPUTE days_since_visit = (DATE.MDY(12,31,2024)-last_visit)/time.days(1).
COMPUTE signup_year = XDATE.YEAR(signup_date).
VARIABLE LEVEL signup_year (ORDINAL). 

COMPUTE visit_hour = XDATE.HOUR(visit_time).
STRING region_uc(A5).
COMPUTE region_uc = UPCASE(region).
VARIABLE LEVEL region_uc (NOMINAL). 

COMPUTE is_female = (gender='F').
VARIABLE LEVEL is_female (NOMINAL). 

COMPUTE high_value = ((income>50000)&(visits>=3)).
VARIABLE LEVEL high_value (NOMINAL). 

COMPUTE age_scale = age.
VARIABLE LEVEL age_scale (SCALE).
VARIABLE ROLE
  /NONE customer_id notes
  /TARGET spend spend_t
  /INPUT age income region gender signup_date last_visit visit_time visits age_t income_log tenure_years 
        days_since_visit signup_year visit_hour region_uc is_female high_value age_scale.
